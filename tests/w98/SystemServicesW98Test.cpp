// The same services on a system of the Windows 9x/Me family.
#include "engine/SystemServices.h"

#include <gtest/gtest.h>

TEST(SystemServicesW98, IsWindowsNTAnswersFalse)
{
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    ASSERT_TRUE(GetVersionExA(&info));
    ASSERT_EQ(static_cast<DWORD>(VER_PLATFORM_WIN32_WINDOWS), info.dwPlatformId);
    EXPECT_FALSE(IsWindowsNT());
}
