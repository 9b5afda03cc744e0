// The context-menu entry in the registry, through the wizard's own
// install, remove and is-installed operations (run from this program, so
// "this program" is the test executable here).
#include "engine/Handles.h"
#include "engine/ProgramPath.h"
#include "engine/Text.h"
#include "tests/gui/GuiDriver.h"
#include "tests/support/TestSupport.h"
#include "wizard/ContextMenu.h"

#include <gtest/gtest.h>

#include <shlwapi.h>

namespace
{

const char kOtherVerbKey[] = "AllFileSystemObjects\\Shell\\OtherTool";

struct SValue
{
    bool found = false;
    DWORD type = REG_NONE;
    std::string bytes;
};

// The default value of a key.
SValue ReadValue(const char* subKey)
{
    SValue value;
    value.found = ReadRegistryValue(HKEY_CLASSES_ROOT, subKey, nullptr, value.bytes, &value.type);
    return value;
}

bool WriteValue(const char* subKey, DWORD type, const std::string& bytes)
{
    return WriteRegistryValue(HKEY_CLASSES_ROOT, subKey, nullptr, type, bytes);
}

std::string Upper(std::string text)
{
    if (!text.empty())
        ::CharUpperBuffA(&text[0], static_cast<DWORD>(text.size()));
    return text;
}

bool KeyExists(const char* subKey)
{
    CRegKey key;
    return ::RegOpenKeyExA(HKEY_CLASSES_ROOT, subKey, 0, KEY_READ, key.Receive()) == ERROR_SUCCESS;
}

// The command value as written, terminator included.
std::string CommandBytes(const std::string& program)
{
    return "\"" + program + "\" \"%1\"" + std::string(1, '\0');
}

class ContextMenu : public ::testing::Test
{
protected:
    void SetUp() override { Clean(); }
    void TearDown() override { Clean(); }
    static void Clean()
    {
        ::SHDeleteKeyA(HKEY_CLASSES_ROOT, kContextMenuShellKey);
    }
};

TEST_F(ContextMenu, InstallWritesTheVerbAndTheCommandOfThisProgram)
{
    EXPECT_FALSE(IsContextMenuInstalled());

    SetLastError(0xdeadbeef);
    ASSERT_TRUE(InstallContextMenu()) << GetLastError();
    const SValue verb = ReadValue(kContextMenuVerbKey);
    ASSERT_TRUE(verb.found);
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), verb.type);
    EXPECT_EQ(Ansi("Ouvrir dans &Orvane...") + std::string(1, '\0'), verb.bytes);
    const SValue command = ReadValue(kContextMenuCommandKey);
    ASSERT_TRUE(command.found);
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), command.type);
    EXPECT_EQ(CommandBytes(GetProgramPath()), command.bytes);
    EXPECT_TRUE(IsContextMenuInstalled());

    // A second install leaves the same single entry.
    ASSERT_TRUE(InstallContextMenu());
    EXPECT_EQ(verb.bytes, ReadValue(kContextMenuVerbKey).bytes);
    EXPECT_EQ(command.bytes, ReadValue(kContextMenuCommandKey).bytes);
}

TEST_F(ContextMenu, OnlyACommandStartingThisProgramCountsAsInstalled)
{
    const std::string self = GetProgramPath();
    const struct
    {
        DWORD type;
        std::string data;
        bool installed;
    } cases[] = {
        {REG_SZ, "\"C:\\Other Copy\\orvgui.exe\" \"%1\"", false},  // another copy
        {REG_SZ, self, false},                                     // bare path, no blank
        {REG_SZ, "\"" + self, false},                              // no closing quote
        {REG_SZ, "\"", false},
        {REG_SZ, "   ", false},
        {REG_SZ, self + " %1", true},                              // unquoted, then a blank
        {REG_SZ, "  \t\"" + self + "\" \"%1\"  ", true},          // white space around
        {REG_SZ, "\"" + Upper(self) + "\" \"%1\"", true},  // case ignored
        {REG_BINARY, "\"" + self + "\" \"%1\"", false},
    };
    for (const auto& c : cases)
    {
        ASSERT_TRUE(WriteValue(kContextMenuCommandKey, c.type, c.data + std::string(1, '\0')));
        EXPECT_EQ(c.installed, IsContextMenuInstalled()) << c.data;
    }

    // An expandable value is expanded first.
    const std::string folder = self.substr(0, self.rfind('\\'));
    const std::string name = self.substr(self.rfind('\\') + 1);
    ASSERT_TRUE(::SetEnvironmentVariableA("ORV_TEST_FOLDER", folder.c_str()));
    ASSERT_TRUE(WriteValue(kContextMenuCommandKey, REG_EXPAND_SZ,
                           "\"%ORV_TEST_FOLDER%\\" + name + "\" \"%1\"" + std::string(1, '\0')));
    EXPECT_TRUE(IsContextMenuInstalled());
    // The same text as plain REG_SZ names no existing program.
    ASSERT_TRUE(WriteValue(kContextMenuCommandKey, REG_SZ,
                           "\"%ORV_TEST_FOLDER%\\" + name + "\" \"%1\"" + std::string(1, '\0')));
    EXPECT_FALSE(IsContextMenuInstalled());

    // Installing over another copy's entry makes it ours.
    ASSERT_TRUE(WriteValue(kContextMenuCommandKey, REG_SZ, "\"C:\\Other\\orvgui.exe\" \"%1\""));
    ASSERT_TRUE(InstallContextMenu());
    EXPECT_EQ(CommandBytes(self), ReadValue(kContextMenuCommandKey).bytes);
    EXPECT_TRUE(IsContextMenuInstalled());
}

TEST_F(ContextMenu, RemoveKeepsWhatOtherProgramsPutUnderShell)
{
    ASSERT_TRUE(WriteValue(kOtherVerbKey, REG_SZ, std::string("Other", 6)));
    ASSERT_TRUE(InstallContextMenu());

    SetLastError(0xdeadbeef);
    ASSERT_TRUE(RemoveContextMenu()) << GetLastError();
    EXPECT_FALSE(KeyExists(kContextMenuVerbKey));
    EXPECT_FALSE(IsContextMenuInstalled());
    EXPECT_TRUE(ReadValue(kOtherVerbKey).found);

    // A value of its own keeps the Shell key too.
    ::SHDeleteKeyA(HKEY_CLASSES_ROOT, kOtherVerbKey);
    ASSERT_TRUE(WriteValue(kContextMenuShellKey, REG_SZ, std::string("open", 5)));
    ASSERT_TRUE(InstallContextMenu());
    ASSERT_TRUE(RemoveContextMenu());
    EXPECT_TRUE(ReadValue(kContextMenuShellKey).found);
}

TEST_F(ContextMenu, RemoveDeletesAShellKeyLeftEmpty)
{
    ASSERT_TRUE(InstallContextMenu());
    ASSERT_TRUE(RemoveContextMenu());
    EXPECT_FALSE(KeyExists(kContextMenuShellKey));
    EXPECT_TRUE(KeyExists("AllFileSystemObjects"));
}

TEST_F(ContextMenu, RemoveWithoutAnEntryFails)
{
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(RemoveContextMenu()) << GetLastError();
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
}

} // namespace
