// The names that the 32-bit programs and their 64-bit builds pass between
// them on 64-bit Windows: the folder of a run, the started-for variable, and
// the Sysnative alias of 32-bit programs.
#include "engine/NativeProgram.h"
#include "engine/ObjectPath.h"
#include "engine/ProgramPath.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

TEST(NativeProgram, RunFolderNames)
{
    EXPECT_EQ("Orvane-000012AB-3", FormatRunFolderName(0x12AB, 3));
    const struct
    {
        const char* name;
        bool parsed;
        DWORD processId;
    } cases[] = {
        {"Orvane-000012AB-3", true, 0x12AB}, {"orvane-ffffffff-12", true, 0xFFFFFFFF},
        {"Orvane-12AB-3", false, 0},         {"Orvane-000012AB-", false, 0},
        {"Orvane-000012AG-1", false, 0},     {"Orvane-000012AB-1x", false, 0},
        {"Other-000012AB-1", false, 0},      {"Orvane-000012AB_1", false, 0},
    };
    for (const auto& c : cases)
    {
        DWORD processId = 0;
        EXPECT_EQ(c.parsed, ParseRunFolderName(c.name, processId)) << c.name;
        EXPECT_EQ(c.processId, processId) << c.name;
    }
}

TEST(ProgramPath, StartedForValue)
{
    const struct
    {
        std::string value;
        bool parsed;
    } cases[] = {
        {"12|C:\\Tools\\orvline.exe", true}, {"4294967295|\\\\server\\share\\orvgui.exe", true},
        {"0|C:\\Tools\\orvline.exe", false}, {"|C:\\Tools\\orvline.exe", false},
        {"4294967296|C:\\orvline.exe", false}, {"12C:\\Tools\\orvline.exe", false},
        {"1x|C:\\orvline.exe", false},       {"12|orvline.exe", false},
        {"12|\\\\?\\C:\\orvline.exe", false}, {"12|\\\\.\\C:", false},
        {"12|C:\\" + std::string(MAX_PATH, 'p'), false},
    };
    for (const auto& c : cases)
    {
        DWORD processId = 0;
        std::string path;
        EXPECT_EQ(c.parsed, ParseStartedFor(c.value, processId, path)) << c.value;
        if (c.parsed)
        {
            EXPECT_EQ(c.value.substr(c.value.find('|') + 1), path);
        }
    }
}

TEST(ObjectPath, SysnativeIsTheSystemFolderOf64BitPrograms)
{
    const std::string windows = WindowsPath("");
    const std::string root = windows.substr(0, windows.size() - 1);
    const struct
    {
        std::string path;
        std::string resolved; // in a 64-bit program
    } cases[] = {
        {root + "\\Sysnative\\drivers\\x.sys", root + "\\System32\\drivers\\x.sys"},
        {root + "\\SYSNATIVE", root + "\\System32"},
        {"\\\\?\\" + root + "\\sysnative\\a.dll", "\\\\?\\" + root + "\\System32\\a.dll"},
        {root + "\\Sysnativex\\a.dll", root + "\\Sysnativex\\a.dll"},
        {"C:\\data\\Sysnative\\a.dll", "C:\\data\\Sysnative\\a.dll"},
        {root + "\\System32\\a.dll", root + "\\System32\\a.dll"},
    };
    for (const auto& c : cases)
    {
#if defined(_WIN64)
        EXPECT_EQ(c.resolved, ResolveSysnative(c.path)) << c.path;
#else
        EXPECT_EQ(c.path, ResolveSysnative(c.path)) << c.path;
#endif
    }
}
