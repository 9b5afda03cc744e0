// Which file an autostart value starts, and the values read from the Run
// and Runonce keys of the test prefix.
#include "engine/Handles.h"
#include "engine/SystemServices.h"
#include "engine/Text.h"
#include "inspect/AutostartScan.h"
#include "resources/orvgui/resource.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <vector>

namespace
{

// A search routine that knows a few files and logs what it was asked.
std::map<std::string, std::string> g_knownFiles;
std::string g_searches;

bool FakeSearch(const std::string& name, const char* extension, std::string& found)
{
    const std::string asked = name + (extension ? extension : "");
    g_searches += asked + ";";
    const auto known = g_knownFiles.find(asked);
    if (known == g_knownFiles.end())
        return false;
    found = known->second;
    return true;
}

const char kExtensions[] = ".cmd;.bat;.pif;.scf;.exe;.com;.scr;";

} // namespace

TEST(ResolveRunCommand, Cases)
{
    const struct
    {
        const char* data;
        const char* file;
        const char* arguments;
        std::string searches;
    } cases[] = {
        {"\"C:\\Program Files\\Tool\\tool.exe\" /min -x", "C:\\Program Files\\Tool\\tool.exe", "/min -x", ""},
        {" \t\"\" C:\\a b\\x.exe \" tail ", "C:\\a b\\x.exe", "tail", ""},
        {"\"C:\\no close.exe", "C:\\no close.exe", "", ""},
        {"C:\\Program Files\\Tool\\tool.exe", "C:\\Program Files\\Tool\\tool.exe", "", ""},
        // Unquoted with a blank and arguments: the file part ends at the blank.
        {"C:\\Program Files\\Tool\\tool.exe -min", "C:\\Program", "Files\\Tool\\tool.exe -min",
         "C:\\Program.cmd;C:\\Program.bat;C:\\Program.pif;C:\\Program.scf;C:\\Program.exe;"
         "C:\\Program.com;C:\\Program.scr;"},
        {"rundll32.exe shell32.dll,Control_RunDLL", "C:\\windows\\system32\\rundll32.exe",
         "shell32.dll,Control_RunDLL", "rundll32.exe;"},
        // The extension search stops at the first file found.
        {"C:\\Tools\\agent /silent", "C:\\Tools\\agent.exe", "/silent",
         "C:\\Tools\\agent.cmd;C:\\Tools\\agent.bat;C:\\Tools\\agent.pif;C:\\Tools\\agent.scf;"
         "C:\\Tools\\agent.exe;"},
        {"%SystemRoot%\\system32\\tool.exe /x", "%SystemRoot%\\system32\\tool.exe", "/x", ""},
        {"helper", "C:\\bin\\helper.bat", "", "helper.cmd;helper.bat;"},
        {"unknown -a", "unknown", "-a",
         "unknown.cmd;unknown.bat;unknown.pif;unknown.scf;unknown.exe;unknown.com;unknown.scr;unknown;"},
        {"   ", "", "", ""},
    };
    g_knownFiles = {{"rundll32.exe", "C:\\windows\\system32\\rundll32.exe"},
                    {"C:\\Tools\\agent.exe", "C:\\Tools\\agent.exe"},
                    {"C:\\Tools\\agent.com", "C:\\Tools\\agent.com"},
                    {"helper.bat", "C:\\bin\\helper.bat"},
                    {"helper", "C:\\bin\\helper"}};
    for (const auto& c : cases)
    {
        g_searches.clear();
        const SRunCommand line = ResolveRunCommand(c.data, FakeSearch);
        EXPECT_EQ(c.file, line.file) << c.data;
        EXPECT_EQ(c.arguments, line.arguments) << c.data;
        EXPECT_EQ(c.searches, g_searches) << c.data;
    }
}

TEST(ResolveRunCommand, SystemSearch)
{
    CScratchDir dir;
    char system[MAX_PATH] = {};
    ASSERT_NE(0u, GetSystemDirectoryA(system, MAX_PATH));
    const std::string rundll = ResolveRunCommand("rundll32.exe shell32.dll,Control_RunDLL").file;
    EXPECT_TRUE(IsSameText(std::string(system) + "\\rundll32.exe", rundll)) << rundll;

    // Files present in the folder of "<dir>\agent /silent", and the file chosen.
    const struct
    {
        std::vector<const char*> files;
        const char* chosen;
    } cases[] = {
        {{"agent.exe", "agent.scr"}, "agent.exe"},
        {{"agent.bat", "agent.exe"}, "agent.bat"},
        {{"agent.scr"}, "agent.scr"},
        {{}, "agent"},
    };
    for (const auto& c : cases)
    {
        CScratchDir tools;
        for (const char* file : c.files)
            tools.File(file, "x");
        EXPECT_EQ(tools / c.chosen, ResolveRunCommand(tools / "agent /silent").file);
    }
    std::string found;
    EXPECT_FALSE(SearchSystemPath(dir / "absent", ".exe", found));
}

TEST(AutostartScan, ReadsStringValuesOfAKey)
{
    const std::string keyPath = GetAutostartKeyPath("Runonce");
    EXPECT_EQ("Software\\Microsoft\\Windows\\CurrentVersion\\Runonce", keyPath);
    CRegKey key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, keyPath.c_str(), 0, nullptr, 0,
                                             KEY_ALL_ACCESS, nullptr, key.Receive(), nullptr));
    // Exactly these bytes: one that is not zero follows them in memory, or
    // the registry would count a terminator too.
    const auto set = [&](const std::string& name, DWORD type, const std::string& bytes) {
        const std::string written = bytes + "X";
        RegSetValueExA(key.Get(), name.c_str(), 0, type, reinterpret_cast<const BYTE*>(written.data()),
                       static_cast<DWORD>(bytes.size()));
    };
    const std::string longName(255, 'n');
    const std::string path256 = "C:\\" + std::string(253, 'p');  // 256 bytes, no terminator
    set("OrvSz", REG_SZ, std::string("C:\\orv\\a.exe /x") + '\0');
    set("OrvExpand", REG_EXPAND_SZ, std::string("%TEMP%\\b.exe") + '\0');
    set("OrvDword", REG_DWORD, std::string(4, '\1'));
    set(longName, REG_SZ, std::string("c.exe") + '\0');
    set("OrvExact", REG_SZ, path256);
    set("OrvTooLong", REG_SZ, std::string(257, 'q'));

    std::vector<std::string> taken;
    const bool complete = ReadAutostartKey(HKEY_CURRENT_USER, "Runonce",
                                           [&](std::unique_ptr<CRegistryEntry> entry) {
                                               EXPECT_EQ(HKEY_CURRENT_USER, entry->GetHive());
                                               EXPECT_EQ(keyPath, entry->GetKeyPath());
                                               taken.push_back(entry->GetValueName() + "=" +
                                                               entry->GetFilePath() + "|" +
                                                               entry->GetArguments());
                                           });
    EXPECT_TRUE(complete);
    for (const char* name : {"OrvSz", "OrvExpand", "OrvDword", "OrvExact", "OrvTooLong"})
        RegDeleteValueA(key.Get(), name);
    RegDeleteValueA(key.Get(), longName.c_str());

    std::vector<std::string> ours;
    for (const std::string& value : taken)
        if (value.compare(0, 3, "Orv") == 0 || value.compare(0, 3, "nnn") == 0)
            ours.push_back(value);
    std::vector<std::string> expected = {"OrvSz=C:\\orv\\a.exe|/x", longName + "=c.exe|",
                                         "OrvExact=" + path256 + "|"};
    std::sort(expected.begin(), expected.end());
    std::sort(ours.begin(), ours.end());
    EXPECT_EQ(expected, ours);

    // A key that is not there gives nothing and no message.
    taken.clear();
    EXPECT_TRUE(ReadAutostartKey(HKEY_LOCAL_MACHINE, "OrvaneNoSuchKey",
                                 [&](std::unique_ptr<CRegistryEntry>) { taken.push_back("?"); }));
    EXPECT_TRUE(taken.empty());
}

// On 64-bit Windows the machine's keys are read in both views, each value
// with the view it came from; the user's keys and a system without views
// have one.
TEST(ReadAutostartKey, BothViewsOfTheMachineKeys)
{
    const std::vector<REGSAM> one = {0};
    EXPECT_EQ(one, GetAutostartViews(HKEY_CURRENT_USER, "Run"));
    if (!Is64BitWindows())
    {
        EXPECT_EQ(one, GetAutostartViews(HKEY_LOCAL_MACHINE, "Run"));
        return;
    }
    EXPECT_EQ((std::vector<REGSAM>{KEY_WOW64_64KEY, KEY_WOW64_32KEY}), GetAutostartViews(HKEY_LOCAL_MACHINE, "Run"));

    const std::string keyPath = GetAutostartKeyPath("Run");
    CRegKey redirected;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, nullptr, 0,
                                             KEY_ALL_ACCESS | KEY_WOW64_32KEY, nullptr, redirected.Receive(),
                                             nullptr));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(redirected.Get(), "OrvView32", 0, REG_SZ,
                                            reinterpret_cast<const BYTE*>("C:\\x86\\a.exe"), 13));
    std::vector<std::string> taken;
    for (const REGSAM view : GetAutostartViews(HKEY_LOCAL_MACHINE, "Run"))
    {
        EXPECT_TRUE(ReadAutostartKey(HKEY_LOCAL_MACHINE, "Run",
                                     [&](std::unique_ptr<CRegistryEntry> entry) {
                                         if (entry->GetValueName() == "OrvView32")
                                             taken.push_back(entry->GetIdentity() + "=" + entry->GetFilePath() +
                                                             (entry->GetView() == view ? "" : " (other view)"));
                                     },
                                     SearchSystemPath, view));
    }
    RegDeleteValueA(redirected.Get(), "OrvView32");
    EXPECT_EQ(std::vector<std::string>{"HKLM\\Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run\\"
                                       "OrvView32=C:\\x86\\a.exe"},
              taken);
}
