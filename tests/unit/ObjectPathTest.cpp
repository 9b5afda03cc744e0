// The rules of names read from a folder listing (code page 1252, as the test
// prefixes are set up).
#include "engine/FolderListing.h"
#include "engine/ObjectPath.h"
#include "engine/Text.h"

#include <gtest/gtest.h>

TEST(ListedNames, OnePlainComponent)
{
    struct SCase
    {
        std::string name;
        bool plain;
    };
    const SCase cases[] = {
        {"a.txt", true},        {"..a", true},          {".profile", true},
        {std::string(255, 'n'), true},                  {std::string(256, 'n'), false},
        {"", false},            {".", false},           {"..", false},
        {"..\\victim.txt", false}, {"a/b", false},      {"x:y", false},
        {"b*x", false},         {"q?", false},          {"c<x", false},
        {"d>x", false},         {"p|x", false},         {"\"q\"", false},
        {"c\x01" "d", false},   {"trail.", false},      {"blank ", false},
        {"caf\xe9", true},
    };
    for (const SCase& c : cases)
        EXPECT_EQ(c.plain, IsPlainName(c.name)) << c.name;
}

TEST(ListedNames, ExactOrNotAtAll)
{
    std::string ansi;
    EXPECT_TRUE(WideToAnsiExact(L"caf\x00e9.txt", ansi));
    EXPECT_EQ("caf\xe9.txt", ansi);
    // The best fit of the code page would read "..\victim.txt".
    EXPECT_FALSE(WideToAnsiExact(L"\xff0e\xff0e\xff3cvictim.txt", ansi));
    EXPECT_EQ("???victim.txt", ansi);

    EXPECT_EQ("a.txt", ChooseEntryName("a.txt", true, "", true));
    EXPECT_EQ("___V~4AM.TXT", ChooseEntryName("???victim.txt", false, "___V~4AM.TXT", true));
    EXPECT_EQ("", ChooseEntryName("..\\victim.txt", true, "__\\V~1.TXT", true));
    EXPECT_EQ("..?victim.txt", ShowName("..\\victim.txt"));
}

// "D:" names the folder last current on D:, which a console keeps in the
// environment ("=D:"): that folder and those above it are never a source,
// what lies inside them is.
TEST(ObjectPath, TheCurrentFolderOfAnotherDrive)
{
    // C: or Z: (Wine's Unix root), whichever this test does not stand on.
    char current[MAX_PATH] = {};
    ::GetCurrentDirectoryA(MAX_PATH, current);
    const bool onC = (current[0] | 0x20) == 'c';
    const std::string drive = onC ? "Z:" : "C:";
    ::CreateDirectoryA(onC ? "Z:\\tmp" : "C:\\orvtest", nullptr);
    const std::string top =
        drive + (onC ? "\\tmp" : "\\orvtest") + "\\orvunit-" + std::to_string(::GetCurrentProcessId());
    const std::string deep = top + "\\deep";
    const std::string variable = "=" + drive;
    ASSERT_TRUE(::CreateDirectoryA(top.c_str(), nullptr)) << ::GetLastError();
    ASSERT_TRUE(::CreateDirectoryA(deep.c_str(), nullptr)) << ::GetLastError();
    ASSERT_TRUE(::CreateDirectoryA((deep + "\\inner").c_str(), nullptr)) << ::GetLastError();
    char saved[MAX_PATH] = {};
    const DWORD had = ::GetEnvironmentVariableA(variable.c_str(), saved, MAX_PATH);
    ::SetEnvironmentVariableA(variable.c_str(), deep.c_str());

    EXPECT_TRUE(HoldsCurrentFolder(drive));
    EXPECT_TRUE(HoldsCurrentFolder(deep));
    EXPECT_TRUE(HoldsCurrentFolder(top));
    EXPECT_FALSE(HoldsCurrentFolder(deep + "\\inner"));

    ::SetEnvironmentVariableA(variable.c_str(), had ? saved : nullptr);
    ::RemoveDirectoryA((deep + "\\inner").c_str());
    ::RemoveDirectoryA(deep.c_str());
    ::RemoveDirectoryA(top.c_str());
}
