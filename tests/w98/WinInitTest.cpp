// The [Rename] section of the real C:\windows\WinInit.Ini on a system of the
// Windows 9x/Me family, and what the restart does with it.
#include "engine/Scheduler.h"
#include "engine/SystemServices.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{

// Every test starts and ends without WinInit.Ini, its backup and a queue.
class WinInit : public testing::Test
{
protected:
    void SetUp() override { Clean(); }
    void TearDown() override { Clean(); }

    static void Clean()
    {
        DeleteFileA(WindowsPath("WinInit.Ini").c_str());
        DeleteFileA(WindowsPath("wininit.bak").c_str());
        ClearPendingQueue();
    }

    static std::string File() { return ReadFileBytes(WindowsPath("WinInit.Ini")); }

    // A file with a long name, so that its short form differs.
    static std::string LongFile(const CScratchDir& dir, const std::string& name)
    {
        const std::string path = dir / name;
        EXPECT_TRUE(WriteFileBytes(path, name));
        const std::string shortPath = ShortPath(path);
        EXPECT_NE(std::string::npos, shortPath.find('~')) << shortPath;
        return path;
    }
};

} // namespace

TEST_F(WinInit, ThisIsTheWindows9xFamily)
{
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    ASSERT_TRUE(GetVersionExA(&info));
    EXPECT_EQ(static_cast<DWORD>(VER_PLATFORM_WIN32_WINDOWS), info.dwPlatformId);
}

// Wine queues delayed moves itself even when it plays Windows 98: the writer
// is used only when MoveFileExA answers "not implemented", never because of
// the family.
TEST_F(WinInit, MoveFileOnRebootUsesTheSystemWhenItAccepts)
{
    CScratchDir dir;
    const std::string file = LongFile(dir, "system queued.dll");
    ASSERT_FALSE(IsWindowsNT());

    SetLastError(0xdeadbeef);
    EXPECT_TRUE(MoveFileOnReboot(file.c_str(), nullptr)) << GetLastError();
    const std::string expected = PendingQueueOf({"\\??\\" + file, ""});
    EXPECT_EQ(expected, PendingQueueBytes());
    EXPECT_FALSE(PathExists(WindowsPath("WinInit.Ini")));

    // Refused for another reason: a failure, and no line either.
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(MoveFileOnReboot("", nullptr)) << GetLastError();
    EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), GetLastError());
    EXPECT_FALSE(PathExists(WindowsPath("WinInit.Ini")));
}

TEST_F(WinInit, LineGoesIntoTheRenameSection)
{
    CScratchDir dir;
    const std::string file = LongFile(dir, "locked library.dll");
    const std::string gone = dir / "already gone.txt";
    const std::string line = "NUL=" + ShortPath(file) + "\r\n";
    const std::string boot = "[boot]\r\nshell=Explorer.exe";
    const std::string old = "[Rename]\r\nNUL=C:\\OLD.DLL\r\n";
    const std::string other = "[Other]\r\nkey=value\r\n";
    // The header is found whatever its case.
    const std::string lower = "[rename]\r\nNUL=C:\\OLD.DLL\r\n";
    struct
    {
        const char* what;
        bool exists;
        std::string before;
        std::string source;
        std::string after;
    } cases[] = {
        {"no file: created with header and line", false, "", file, "[Rename]\r\n" + line},
        // A source that is gone has no short form: written as given.
        {"missing source", false, "", gone, "[Rename]\r\nNUL=" + gone + "\r\n"},
        {"header as last section", true, boot + "\r\n" + old, file, boot + "\r\n" + old + line},
        {"header followed by another section", true, lower + other, file, lower + line + other},
        {"no final line feed", true, boot, file, boot + "\r\n[Rename]\r\n" + line},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        Clean();
        if (c.exists)
        {
            ASSERT_TRUE(WriteFileBytes(WindowsPath("WinInit.Ini"), c.before));
        }
        SetLastError(0xdeadbeef);
        ASSERT_TRUE(AddWinInitRename(c.source.c_str(), nullptr)) << GetLastError();
        EXPECT_EQ(c.after, File());
    }
    EXPECT_TRUE(PathExists(file));
}

TEST_F(WinInit, SidesOfTheLine)
{
    CScratchDir dir;
    const std::string source = LongFile(dir, "source file.txt");
    const std::string existing = LongFile(dir, "existing target.txt");
    const std::string absent = dir / "new long name.txt";
    const std::string folder = dir.Folder("folder with files");
    ASSERT_TRUE(WriteFileBytes(folder + "\\inner.txt", "x"));

    ASSERT_TRUE(AddWinInitRename(source.c_str(), absent.c_str()));
    ASSERT_TRUE(AddWinInitRename(source.c_str(), existing.c_str()));
    ASSERT_TRUE(AddWinInitRename(folder.c_str(), nullptr));
    ASSERT_TRUE(AddWinInitRename(folder.c_str(), ""));
    ASSERT_TRUE(AddWinInitRename(existing.c_str(), nullptr));

    // The new path that does not exist yet stays long; every existing path
    // is written short; a folder to delete is DIRNUL, a file NUL.
    EXPECT_EQ("[Rename]\r\n" +
                  absent + "=" + ShortPath(source) + "\r\n" +
                  ShortPath(existing) + "=" + ShortPath(source) + "\r\n" +
                  "DIRNUL=" + ShortPath(folder) + "\r\n" +
                  "DIRNUL=" + ShortPath(folder) + "\r\n" +
                  "NUL=" + ShortPath(existing) + "\r\n",
              File());
}

TEST_F(WinInit, LinesTheRestartWouldMisread)
{
    CScratchDir dir;
    const std::string file = LongFile(dir, "waiting library.dll");
    const std::string before = "[boot]\r\n; see [Rename]\r\n";
    ASSERT_TRUE(WriteFileBytes(WindowsPath("WinInit.Ini"), before));

    // A new path with "=" would be split there at the restart.
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(AddWinInitRename(file.c_str(), (dir / "a=b.dll").c_str())) << GetLastError();
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_NAME), GetLastError());
    EXPECT_EQ(before, File());

    // The header in a comment is no section; a relative path is made full
    // before the system resolves it against its own folder.
    const std::string current = dir.Path();
    char saved[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, saved);
    ASSERT_TRUE(SetCurrentDirectoryA(current.c_str()));
    const bool added = AddWinInitRename("waiting library.dll", nullptr);
    SetCurrentDirectoryA(saved);
    ASSERT_TRUE(added);
    EXPECT_EQ(before + "[Rename]\r\nNUL=" + ShortPath(file) + "\r\n", File());
}

TEST_F(WinInit, FileHeldOpenElsewhere)
{
    CScratchDir dir;
    const std::string file = LongFile(dir, "waiting library.dll");
    const std::string before = "[Rename]\r\nNUL=C:\\OLD.DLL\r\n";
    ASSERT_TRUE(WriteFileBytes(WindowsPath("WinInit.Ini"), before));
    {
        CHolder holder(CHolder::Open, WindowsPath("WinInit.Ini"));
        ASSERT_TRUE(holder.IsHolding());
        SetLastError(0xdeadbeef);
        EXPECT_FALSE(AddWinInitRename(file.c_str(), nullptr)) << GetLastError();
        EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), GetLastError());
    }
    EXPECT_EQ(before, File());
}

// Wine carries out the [Rename] section at the restart and keeps the file as
// wininit.bak, as Windows 9x does.
TEST_F(WinInit, RestartCarriesOutTheSection)
{
    CScratchDir dir;
    const std::string doomed = LongFile(dir, "doomed library.dll");
    const std::string renamed = LongFile(dir, "old long name.txt");
    const std::string newName = dir / "new long name.txt";
    const std::string source = LongFile(dir, "replacing file.txt");
    const std::string replaced = LongFile(dir, "replaced file.txt");

    ASSERT_TRUE(AddWinInitRename(doomed.c_str(), nullptr));
    ASSERT_TRUE(AddWinInitRename(renamed.c_str(), newName.c_str()));
    ASSERT_TRUE(AddWinInitRename(source.c_str(), replaced.c_str()));
    const std::string written = File();

    ASSERT_TRUE(RestartPrefix());
    EXPECT_FALSE(PathExists(doomed));
    EXPECT_FALSE(PathExists(renamed));
    EXPECT_EQ("old long name.txt", ReadFileBytes(newName));
    EXPECT_FALSE(PathExists(source));
    EXPECT_EQ("replacing file.txt", ReadFileBytes(replaced));

    EXPECT_FALSE(PathExists(WindowsPath("WinInit.Ini")));
    EXPECT_EQ(written, ReadFileBytes(WindowsPath("wininit.bak")));
}
