// System services under a real Windows implementation (the NT test prefix).
#include "engine/SystemServices.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(SystemServices, IsWindowsNTOnTheNtFamily)
{
    EXPECT_TRUE(IsWindowsNT());
}

TEST(SystemServices, EnablePrivilege)
{
    SetLastError(0xdeadbeef);
    EXPECT_TRUE(EnablePrivilege("SeShutdownPrivilege", true)) << GetLastError();
    EXPECT_TRUE(EnablePrivilege("SeShutdownPrivilege", false));

    SetLastError(0xdeadbeef);
    EXPECT_FALSE(EnablePrivilege("SeNoSuchPrivilege", true)) << GetLastError();
    EXPECT_EQ(static_cast<DWORD>(ERROR_NO_SUCH_PRIVILEGE), GetLastError());
}

TEST(SystemServices, GetErrorTextIsOneLine)
{
    char* expected = nullptr;
    ASSERT_NE(0u, FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                     FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, ERROR_FILE_NOT_FOUND, 0, reinterpret_cast<char*>(&expected),
                                 0, nullptr));
    std::string withoutBreaks;
    for (const char* p = expected; *p; ++p)
        if (*p != '\r' && *p != '\n')
            withoutBreaks += *p;
    LocalFree(expected);

    const std::string text = GetErrorText(ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(withoutBreaks, text);
    EXPECT_EQ(std::string::npos, text.find('\n'));
    EXPECT_FALSE(text.empty());

    // No text for this code: empty, and no missing argument read.
    EXPECT_EQ("", GetErrorText(0x2000FFFF));
}

TEST(SystemServices, GetErrorTextKeepsInsertsUnexpanded)
{
    // Find a system message with an insert; reading it must not touch
    // arguments that do not exist, and the insert stays as it stands.
    DWORD code = 0;
    for (DWORD candidate = 1; candidate < 16000 && code == 0; ++candidate)
    {
        char* raw = nullptr;
        if (FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                               FORMAT_MESSAGE_IGNORE_INSERTS,
                           nullptr, candidate, 0, reinterpret_cast<char*>(&raw), 0, nullptr))
        {
            if (std::strstr(raw, "%1"))
                code = candidate;
            LocalFree(raw);
        }
    }
    if (code == 0)
        GTEST_SKIP() << "no system message with inserts";
    const std::string text = GetErrorText(code);
    EXPECT_NE(std::string::npos, text.find("%1")) << code << ": " << text;
}

TEST(SystemServices, GetSystemPath)
{
    char system[MAX_PATH] = {};
    GetSystemDirectoryA(system, MAX_PATH);
    EXPECT_EQ(std::string(system) + "\\sfc.dll", GetSystemPath("sfc.dll"));
}

TEST(SystemServices, IsSameFolder)
{
    EXPECT_TRUE(IsSameFolder("C:\\dir\\a.txt", "C:\\DIR\\b.txt"));
    EXPECT_TRUE(IsSameFolder("C:\\A\\x", "c:\\a\\Y"));
    EXPECT_FALSE(IsSameFolder("C:\\a.txt", "D:\\a.txt"));
    EXPECT_FALSE(IsSameFolder("C:\\dir", "C:\\dir\\f"));
    // Paths that do not fit a path buffer are never the same folder.
    const std::string longPath = "C:\\" + std::string(300, 'x');
    EXPECT_FALSE(IsSameFolder(longPath + "\\a", longPath + "\\b"));
}

TEST(SystemServices, GetLongPathTurnsShortNamesLong)
{
    CScratchDir dir;
    const std::string folder = dir.Folder("Un dossier au long nom");
    const std::string file = folder + "\\un fichier au long nom.txt";
    ASSERT_TRUE(WriteFileBytes(file, "x"));

    char shortPath[MAX_PATH] = {};
    ASSERT_NE(0u, GetShortPathNameA(file.c_str(), shortPath, MAX_PATH));
    ASSERT_NE(file, std::string(shortPath));

    std::string path = shortPath;
    EXPECT_TRUE(GetLongPath(path));
    EXPECT_EQ(0, lstrcmpiA(file.c_str(), path.c_str())) << path;

    std::string empty;
    EXPECT_FALSE(GetLongPath(empty));
    EXPECT_EQ("", empty);
}

TEST(SystemServices, ProtectedFileService)
{
    // Wine ships sfc.dll with its entry point; nothing is protected there.
    EXPECT_NE(nullptr, ProtectedFileService.GetEntryPoint());
    EXPECT_FALSE(IsFileProtected(""));
    EXPECT_FALSE(IsFileProtected("C:\\orvtest\\none.txt"));
}

TEST(SystemServices, RestartSystemCarriesOutTheQueue)
{
    ClearPendingQueue();
    CScratchDir dir;
    const std::string file = dir.File("queued.txt", "x");
    ASSERT_TRUE(MoveFileExA(file.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));

    SetLastError(0xdeadbeef);
    ASSERT_TRUE(RestartSystem()) << GetLastError();
    // The restart runs beside us: the caller lives on while the queue is done.
    for (int i = 0; i < 100 && PathExists(file); ++i)
        Sleep(100);
    EXPECT_FALSE(PathExists(file));
}

TEST(SystemServices, TestPrefixCodePages)
{
    // The bench pins the locale: the console texts' OEM bytes depend on it.
    EXPECT_EQ(1252u, GetACP());
    const UINT oem = GetOEMCP();
    EXPECT_TRUE(oem == 437 || oem == 850) << oem;
    char text[] = "\xE9t\xE9"; // "été" in 1252
    ASSERT_TRUE(CharToOemBuffA(text, text, 3));
    EXPECT_EQ(std::string("\x82t\x82"), std::string(text));
}
