// Set-up of each GUI test program: an X display to work on, and window
// captions drawn by Wine itself (a bare X server has no window manager to draw
// them). The screenshots of an earlier run go with the test prefixes' set-up.
#include "engine/Handles.h"
#include "tests/gui/GuiDriver.h"

#include <gtest/gtest.h>

namespace
{

class CGuiEnvironment : public ::testing::Environment
{
public:
    void SetUp() override
    {
        char display[256] = {};
        ASSERT_NE(0u, ::GetEnvironmentVariableA("DISPLAY", display, sizeof(display)))
            << "no X display: run the GUI tests through ./orv test, or set DISPLAY";

        CRegKey key;
        ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\X11 Driver", 0,
                                                   nullptr, 0, KEY_SET_VALUE, nullptr, key.Receive(),
                                                   nullptr));
        ::RegSetValueExA(key.Get(), "Decorated", 0, REG_SZ, reinterpret_cast<const BYTE*>("N"), 2);
        ::RegSetValueExA(key.Get(), "Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>("N"), 2);
    }
};

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new CGuiEnvironment);

} // namespace
