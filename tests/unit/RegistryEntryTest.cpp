// Autostart entries against real Run values of the user and of the machine:
// deletion, rewriting, identity, status and report texts.
#include "engine/Handles.h"
#include "engine/RegistryEntry.h"
#include "engine/SystemServices.h"
#include "inspect/AutostartScan.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>

namespace
{

const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kRunOnceKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Runonce";
const char kMissingKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\OrvaneNoSuchKey";

std::string WithTerminator(const std::string& text)
{
    return text + std::string(1, '\0');
}

} // namespace

TEST(RegistryEntry, FreshEntry)
{
    CRegistryEntry entry(HKEY_CURRENT_USER, kRunKey, "OrvTool");
    EXPECT_EQ("HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\OrvTool",
              entry.GetIdentity());
    EXPECT_EQ("mis a jour avec succes", entry.GetStatusText());
    EXPECT_EQ("HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\OrvTool\n"
              "Statut:: mis a jour avec succes\n\n",
              entry.GetReportText());
    EXPECT_EQ(0u, entry.GetLastErrorCode());
    EXPECT_FALSE(entry.IsDeleted());
    EXPECT_EQ("", entry.GetFilePath());

    CRegistryEntry machine(HKEY_LOCAL_MACHINE, kRunOnceKey, "Setup Step");
    EXPECT_EQ("HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Runonce\\Setup Step",
              machine.GetIdentity());
}

TEST(RegistryEntry, DeleteValueOfTheUserAndOfTheMachine)
{
    for (HKEY hive : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE})
    {
        CRunValue value(hive, kRunKey, "OrvDelete", "C:\\Tools\\orvdel.exe /quiet");
        ASSERT_TRUE(value.Written());
        CRegistryEntry entry(hive, kRunKey, "OrvDelete");

        SetLastError(0xdeadbeef);
        EXPECT_TRUE(entry.DeleteValue()) << GetLastError();
        EXPECT_EQ(0u, GetLastError());
        EXPECT_FALSE(value.Exists());
        EXPECT_TRUE(entry.IsDeleted());
        EXPECT_EQ(0u, entry.GetLastErrorCode());
        EXPECT_EQ("suppression effectuee avec succes", entry.GetStatusText());
        EXPECT_EQ(entry.GetIdentity() + "\nStatut:: suppression effectuee avec succes\n\n",
                  entry.GetReportText());

        // Someone else removed it in the meantime.
        SetLastError(0xdeadbeef);
        EXPECT_FALSE(entry.DeleteValue()) << GetLastError();
        EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
        EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), entry.GetLastErrorCode());
        EXPECT_TRUE(entry.IsDeleted());
        const std::string systemText = GetErrorText(ERROR_FILE_NOT_FOUND);
        ASSERT_NE("", systemText);
        EXPECT_EQ(systemText, entry.GetStatusText());
        EXPECT_EQ(entry.GetIdentity() + "\nStatut:: " + systemText + "\n\n",
                  entry.GetReportText());
    }
}

TEST(RegistryEntry, DeleteValueUnderAMissingKey)
{
    CRegistryEntry entry(HKEY_CURRENT_USER, kMissingKey, "OrvDelete");
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(entry.DeleteValue()) << GetLastError();
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
    EXPECT_EQ(GetErrorText(ERROR_FILE_NOT_FOUND), entry.GetStatusText());
}

TEST(RegistryEntry, UpdateValueWritesOnlyTheNewPath)
{
    for (HKEY hive : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE})
    {
        // A quoted path with arguments: both go, the new path stays alone.
        CRunValue value(hive, kRunKey, "OrvUpdate",
                        "\"C:\\Program Files\\Orv Old\\tool.exe\" /background -x");
        ASSERT_TRUE(value.Written());
        CRegistryEntry entry(hive, kRunKey, "OrvUpdate");

        SetLastError(0xdeadbeef);
        EXPECT_TRUE(entry.UpdateValue("C:\\Tools\\orvnew.exe")) << GetLastError();
        EXPECT_EQ(0u, GetLastError());
        DWORD type = 0;
        EXPECT_EQ(WithTerminator("C:\\Tools\\orvnew.exe"), value.Bytes(&type));
        EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
        EXPECT_FALSE(entry.IsDeleted());
        EXPECT_EQ("mis a jour avec succes", entry.GetStatusText());
        EXPECT_EQ(entry.GetIdentity() + "\nStatut:: mis a jour avec succes\n\n",
                  entry.GetReportText());
    }
}

TEST(RegistryEntry, UpdateValueQuotesAPathWithBlanks)
{
    // Unquoted, "C:\Program Files\Orv Tool\tool.exe" would let the system
    // start C:\Program.exe at logon.
    CRunValue value(HKEY_CURRENT_USER, kRunKey, "OrvQuoted", "C:\\old.exe");
    ASSERT_TRUE(value.Written());
    CRegistryEntry entry(HKEY_CURRENT_USER, kRunKey, "OrvQuoted");
    EXPECT_TRUE(entry.UpdateValue("C:\\Program Files\\Orv Tool\\tool.exe"));
    EXPECT_EQ(WithTerminator("\"C:\\Program Files\\Orv Tool\\tool.exe\""), value.Bytes());

    EXPECT_EQ("C:\\Tools\\tool.exe", MakeRunValueData("C:\\Tools\\tool.exe"));
    EXPECT_EQ("\"C:\\My Tools\\tool.exe\"", MakeRunValueData("C:\\My Tools\\tool.exe"));
    EXPECT_EQ("", MakeRunValueData(""));
}

TEST(RegistryEntry, UpdateAfterDeleteWritesTheValueAgain)
{
    CRunValue value(HKEY_LOCAL_MACHINE, kRunKey, "OrvAgain", "C:\\a.exe");
    ASSERT_TRUE(value.Written());
    CRegistryEntry entry(HKEY_LOCAL_MACHINE, kRunKey, "OrvAgain");
    ASSERT_TRUE(entry.DeleteValue());
    ASSERT_FALSE(entry.DeleteValue());

    // The failed deletion's code gives way to the update's result.
    EXPECT_TRUE(entry.UpdateValue("C:\\b.exe"));
    EXPECT_EQ(0u, entry.GetLastErrorCode());
    EXPECT_FALSE(entry.IsDeleted());
    EXPECT_EQ("mis a jour avec succes", entry.GetStatusText());
    EXPECT_EQ(WithTerminator("C:\\b.exe"), value.Bytes());
}

TEST(RegistryEntry, UpdateValueUnderAMissingKey)
{
    CRegistryEntry entry(HKEY_CURRENT_USER, kMissingKey, "OrvUpdate");
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(entry.UpdateValue("C:\\b.exe")) << GetLastError();
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), entry.GetLastErrorCode());
    EXPECT_FALSE(entry.IsDeleted());
    EXPECT_EQ(GetErrorText(ERROR_FILE_NOT_FOUND), entry.GetStatusText());
    // The key is not created on the way.
    std::string bytes;
    EXPECT_FALSE(ReadRegistryValue(HKEY_CURRENT_USER, kMissingKey, "OrvUpdate", bytes));
}

TEST(RegistryEntry, EqualityWithAPath)
{
    CRegistryEntry entry(HKEY_CURRENT_USER, kRunKey, "OrvTool");
    EXPECT_TRUE(entry == "");
    EXPECT_FALSE(entry == "C:\\Tools\\App.exe");

    entry.SetFilePath("C:\\Tools\\App.exe");
    EXPECT_TRUE(entry == "C:\\Tools\\App.exe");
    EXPECT_TRUE(entry == "c:\\TOOLS\\app.EXE");
    EXPECT_FALSE(entry == "C:\\Tools\\App.ex");
    EXPECT_FALSE(entry == "C:\\Tools\\App.exe ");
    EXPECT_FALSE(entry == "");
}

TEST(RegistryEntry, UpdateValueKeepsTheArguments)
{
    // What followed the file part goes behind the new path; only the file
    // part is replaced.
    const struct
    {
        const char* arguments;
        const char* newPath;
        const char* data;
    } cases[] = {
        // Quoted before arguments: the scan reads "C:\t\a.exe /config c.ini"
        // unquoted as one file.
        {"/min", "C:\\Tools\\agent2.exe", "\"C:\\Tools\\agent2.exe\" /min"},
        {"/config c.ini", "C:\\Tools\\agent2.exe", "\"C:\\Tools\\agent2.exe\" /config c.ini"},
        {"/min -x \"a b\"", "C:\\My Tools\\agent.exe", "\"C:\\My Tools\\agent.exe\" /min -x \"a b\""},
        {"", "C:\\My Tools\\agent.exe", "\"C:\\My Tools\\agent.exe\""},
    };
    for (const auto& c : cases)
    {
        CRunValue value(HKEY_CURRENT_USER, kRunKey, "OrvArgs", "\"C:\\Tools\\agent.exe\" /min");
        ASSERT_TRUE(value.Written());
        CRegistryEntry entry(HKEY_CURRENT_USER, kRunKey, "OrvArgs");
        entry.SetArguments(c.arguments);
        EXPECT_TRUE(entry.UpdateValue(c.newPath));
        EXPECT_EQ(WithTerminator(c.data), value.Bytes()) << c.arguments;
        EXPECT_EQ(c.data, MakeRunValueData(c.newPath, c.arguments));
        // The scan reads back the file and the arguments written.
        const SRunCommand read = ResolveRunCommand(c.data);
        EXPECT_EQ(c.newPath, read.file) << c.data;
        EXPECT_EQ(c.arguments, read.arguments) << c.data;
    }
}

TEST(RegistryEntry, ReadRegistryTextEndsInsideTheBuffer)
{
    // Data written without a terminator: the text still ends at its size.
    const struct
    {
        std::string bytes;
        LONG result;
        std::string text;
    } cases[] = {
        {std::string(256, 'a'), ERROR_SUCCESS, std::string(256, 'a')},
        {std::string(255, 'b') + '\0', ERROR_SUCCESS, std::string(255, 'b')},
        {std::string("C:\\a.exe\0junk", 13), ERROR_SUCCESS, "C:\\a.exe"},
        {std::string(257, 'c'), ERROR_MORE_DATA, ""},
        {"", ERROR_SUCCESS, ""},
    };
    CRegKey key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, kRunKey, 0, nullptr, 0,
                                             KEY_ALL_ACCESS, nullptr, key.Receive(), nullptr));
    for (const auto& c : cases)
    {
        // A byte that is not zero after the data, or the registry counts
        // the terminator that follows in memory.
        const std::string written = c.bytes + "X";
        ASSERT_EQ(ERROR_SUCCESS,
                  RegSetValueExA(key.Get(), "OrvRaw", 0, REG_SZ,
                                 reinterpret_cast<const BYTE*>(written.data()),
                                 static_cast<DWORD>(c.bytes.size())));
        std::string text;
        DWORD type = 0;
        EXPECT_EQ(c.result, ReadRegistryText(key.Get(), "OrvRaw", 256, text, type)) << c.bytes.size();
        EXPECT_EQ(c.text, text) << c.bytes.size();
        if (c.result == ERROR_SUCCESS)
        {
            EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
        }

        // The copy taken before a deletion reads any length.
        CRegistryEntry entry(HKEY_CURRENT_USER, kRunKey, "OrvRaw");
        std::string data;
        SetLastError(0xdeadbeef);
        EXPECT_TRUE(entry.ReadValueData(data)) << GetLastError();
        EXPECT_EQ(0u, GetLastError());
        EXPECT_EQ(std::string(c.bytes.c_str(), strnlen(c.bytes.data(), c.bytes.size())), data);
    }
    RegDeleteValueA(key.Get(), "OrvRaw");

    CRegistryEntry gone(HKEY_CURRENT_USER, kRunKey, "OrvRaw");
    std::string data;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(gone.ReadValueData(data)) << GetLastError();
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
}

// A value of the machine's keys on 64-bit Windows is changed in the view it
// was read from, and named as a 64-bit program finds it.
TEST(RegistryEntry, ChangedInItsOwnView)
{
    if (!Is64BitWindows())
        GTEST_SKIP() << "one registry view";
    const REGSAM views[] = {KEY_WOW64_64KEY, KEY_WOW64_32KEY};
    const auto write = [](REGSAM view, const char* data) {
        CRegKey key;
        return RegCreateKeyExA(HKEY_LOCAL_MACHINE, kRunKey, 0, nullptr, 0, KEY_SET_VALUE | view, nullptr,
                               key.Receive(), nullptr) == ERROR_SUCCESS &&
               RegSetValueExA(key.Get(), "OrvView", 0, REG_SZ, reinterpret_cast<const BYTE*>(data),
                              static_cast<DWORD>(std::strlen(data) + 1)) == ERROR_SUCCESS;
    };
    const auto read = [](REGSAM view) {
        CRegistryEntry probe(HKEY_LOCAL_MACHINE, kRunKey, "OrvView", view);
        std::string data;
        return probe.ReadValueData(data) ? data : "<none>";
    };
    ASSERT_TRUE(write(views[0], "C:\\x64.exe"));
    ASSERT_TRUE(write(views[1], "C:\\x86.exe"));

    CRegistryEntry redirected(HKEY_LOCAL_MACHINE, kRunKey, "OrvView", KEY_WOW64_32KEY);
    EXPECT_EQ("HKLM\\Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run\\OrvView",
              redirected.GetIdentity());
    SetLastError(0xdeadbeef);
    EXPECT_TRUE(redirected.UpdateValue("C:\\new.exe")) << GetLastError();
    EXPECT_EQ(0u, GetLastError());
    EXPECT_EQ("C:\\x64.exe", read(views[0]));
    EXPECT_EQ("C:\\new.exe", read(views[1]));

    CRegistryEntry native(HKEY_LOCAL_MACHINE, kRunKey, "OrvView", KEY_WOW64_64KEY);
    EXPECT_EQ("HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\OrvView", native.GetIdentity());
    EXPECT_TRUE(native.DeleteValue());
    EXPECT_EQ("<none>", read(views[0]));
    EXPECT_EQ("C:\\new.exe", read(views[1]));
    EXPECT_TRUE(redirected.DeleteValue());
}
