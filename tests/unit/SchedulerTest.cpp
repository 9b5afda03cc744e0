// The boot-time scheduler: the [Rename] line insertion byte for byte, and
// the system's queue on the NT family.
#include "engine/Scheduler.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{

const char kCanary[] = "\x5a\xa5\x5a\xa5";

// InsertWinInitLine over a buffer with exactly the room it may use, followed
// by canary bytes that must survive.
std::string Insert(const std::string& before, const std::string& line)
{
    const std::size_t room = before.size() + WinInitGrowthLimit(line.size());
    std::vector<char> buffer(before.begin(), before.end());
    buffer.resize(room, '\0');
    buffer.insert(buffer.end(), kCanary, kCanary + 4);
    const std::size_t newSize = InsertWinInitLine(buffer.data(), before.size(), line);
    EXPECT_LE(newSize, room);
    EXPECT_EQ(std::string(kCanary, 4), std::string(buffer.data() + room, 4));
    return std::string(buffer.data(), newSize);
}

} // namespace

TEST(WinInitLine, Format)
{
    EXPECT_EQ("NUL=C:\\ORVTEST\\LOCKED~1.DLL\r\n", MakeWinInitLine("NUL", "C:\\ORVTEST\\LOCKED~1.DLL"));
    EXPECT_EQ("C:\\new name.txt=C:\\OLD.TXT\r\n", MakeWinInitLine("C:\\new name.txt", "C:\\OLD.TXT"));
    EXPECT_EQ(10u, kRenameHeaderLength);
    EXPECT_EQ("[Rename]\r\n", std::string(kRenameHeader));
}

TEST(WinInitLine, NoFileGetsHeaderAndLine)
{
    EXPECT_EQ("[Rename]\r\nNUL=C:\\A.DLL\r\n", Insert("", "NUL=C:\\A.DLL\r\n"));
}

TEST(WinInitLine, HeaderAsLastSectionAppends)
{
    const std::string before = "[Other]\r\nx=1\r\n[Rename]\r\nNUL=C:\\A.DLL\r\n";
    EXPECT_EQ(before + "C:\\b.txt=C:\\B~1.TXT\r\n", Insert(before, "C:\\b.txt=C:\\B~1.TXT\r\n"));

    // An empty section right at the end.
    EXPECT_EQ("[Rename]\r\nNUL=C:\\A.DLL\r\n", Insert("[Rename]\r\n", "NUL=C:\\A.DLL\r\n"));
}

TEST(WinInitLine, HeaderFollowedBySectionInsertsBeforeIt)
{
    const std::string head = "; comment\r\n[Rename]\r\nNUL=C:\\A.DLL\r\nDIRNUL=C:\\DIR\r\n";
    const std::string tail = "[Other]\r\nx=1\r\n[Third]\r\n";
    const std::string line = "NUL=C:\\B.DLL\r\n";
    const std::string after = Insert(head + tail, line);
    EXPECT_EQ(head + line + tail, after);
    EXPECT_EQ(head.size() + tail.size() + line.size(), after.size());

    // The next section right after the header.
    EXPECT_EQ("[Rename]\r\n" + line + "[Other]\r\n", Insert("[Rename]\r\n[Other]\r\n", line));
}

TEST(WinInitLine, LinesKeepTheirOrder)
{
    std::string text = Insert("[boot]\r\n", "NUL=C:\\1\r\n");
    text = Insert(text + "[Last]\r\n", "NUL=C:\\2\r\n");
    text = Insert(text, "NUL=C:\\3\r\n");
    EXPECT_EQ("[boot]\r\n[Rename]\r\nNUL=C:\\1\r\nNUL=C:\\2\r\nNUL=C:\\3\r\n[Last]\r\n", text);
}

TEST(WinInitLine, HeaderOnlyAtTheStartOfALine)
{
    const std::string line = "NUL=C:\\A.DLL\r\n";
    struct
    {
        const char* before;
        const char* after; // the line goes where "|" stands
    } cases[] = {
        {"[rename]\r\nNUL=C:\\0\r\n", "[rename]\r\nNUL=C:\\0\r\n|"},
        {"[RENAME]\r\n[x]\r\n", "[RENAME]\r\n|[x]\r\n"},
        // Any line end, trailing blanks: the one section the system reads.
        {"[Rename]\nNUL=C:\\0\n", "[Rename]\nNUL=C:\\0\n|"},
        {"[Rename]  \r\nNUL=C:\\0\r\n[x]\r\n", "[Rename]  \r\nNUL=C:\\0\r\n|[x]\r\n"},
        {"[Rename]\t\n[x]\n", "[Rename]\t\n|[x]\n"},
        {"x\r\n[Rename]", "x\r\n[Rename]\r\n|"},
        // A mention inside another section is no header.
        {"[boot]\r\n; see [Rename]\r\nshell=x\r\n",
         "[boot]\r\n; see [Rename]\r\nshell=x\r\n[Rename]\r\n|"},
        {"[boot]\r\nx=[Rename]\r\n", "[boot]\r\nx=[Rename]\r\n[Rename]\r\n|"},
        {"[Renamed]\r\n", "[Renamed]\r\n[Rename]\r\n|"},
        // Blanks before the header, a comment after it, a byte-order mark.
        {" [Rename]\r\n", " [Rename]\r\n|"},
    };
    for (const auto& c : cases)
    {
        std::string expected = c.after;
        expected.replace(expected.find('|'), 1, line);
        EXPECT_EQ(expected, Insert(c.before, line)) << c.before;
    }
}

TEST(WinInitLine, FileWithoutFinalLineFeed)
{
    const std::string line = "NUL=C:\\A.DLL\r\n";
    // The header would otherwise be glued to the last line.
    EXPECT_EQ("[boot]\r\nshell=Explorer.exe\r\n[Rename]\r\n" + line,
              Insert("[boot]\r\nshell=Explorer.exe", line));
    EXPECT_EQ("[Rename]\r\nNUL=C:\\0\r\n" + line, Insert("[Rename]\r\nNUL=C:\\0", line));
    EXPECT_EQ("x\r\n[Rename]\r\n" + line, Insert("x", line));
    // A file that ends with a bare LF already ends a line.
    EXPECT_EQ("[Rename]\r\nNUL=C:\\0\n" + line, Insert("[Rename]\r\nNUL=C:\\0\n", line));
}

TEST(WinInitLine, BracketInsideAPathDoesNotEndTheSection)
{
    const std::string line = "NUL=C:\\A.DLL\r\n";
    const std::string inSection = "[Rename]\r\nC:\\build[2]\\new.txt=C:\\BUILD~1\\OLD.TXT\r\n";
    EXPECT_EQ(inSection + line, Insert(inSection, line));
    EXPECT_EQ(inSection + line + "[Other]\r\n", Insert(inSection + "[Other]\r\n", line));
}

TEST(Scheduler, DeletionIsQueuedByTheSystem)
{
    CEmptyPendingQueue queue;
    CScratchDir dir;
    const std::string file = dir.File("queued.dll", "x");
    const std::string winInit = WindowsPath("WinInit.Ini");
    ::DeleteFileA(winInit.c_str());

    SetLastError(0xdeadbeef);
    EXPECT_TRUE(MoveFileOnReboot(file.c_str(), nullptr)) << GetLastError();
    // An empty new path is a deletion as well.
    EXPECT_TRUE(MoveFileOnReboot(dir.Path().c_str(), ""));

    const std::string expected = PendingQueueOf({"\\??\\" + file, "", "\\??\\" + dir.Path(), ""});
    EXPECT_EQ(expected, PendingQueueBytes());
    DWORD type = 0;
    std::vector<char> bytes;
    ASSERT_TRUE(ReadPendingValue(bytes, &type));
    EXPECT_EQ(static_cast<DWORD>(REG_MULTI_SZ), type);
    // Nothing is written to any file, and the object is still there.
    EXPECT_FALSE(PathExists(winInit));
    EXPECT_TRUE(PathExists(file));
}

TEST(Scheduler, MoveReplacesOnlyAnExistingDestination)
{
    CEmptyPendingQueue queue;
    CScratchDir dir;
    const std::string source = dir.File("new.dll", "new");
    const std::string existing = dir.File("old.dll", "old");
    const std::string absent = dir / "absent.dll";

    EXPECT_TRUE(MoveFileOnReboot(source.c_str(), absent.c_str()));
    EXPECT_TRUE(MoveFileOnReboot(source.c_str(), existing.c_str()));

    // "!" marks the replacing move (MOVEFILE_REPLACE_EXISTING).
    const std::string expected = PendingQueueOf({"\\??\\" + source, "\\??\\" + absent,
                                               "\\??\\" + source, "!\\??\\" + existing});
    EXPECT_EQ(expected, PendingQueueBytes());
    EXPECT_EQ("new", ReadFileBytes(source));
    EXPECT_EQ("old", ReadFileBytes(existing));
}

TEST(Scheduler, RefusalOtherThanNotImplementedIsAFailure)
{
    CEmptyPendingQueue queue;
    const std::string winInit = WindowsPath("WinInit.Ini");
    ::DeleteFileA(winInit.c_str());

    SetLastError(0xdeadbeef);
    EXPECT_FALSE(MoveFileOnReboot("", nullptr)) << GetLastError();
    EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), GetLastError());
    EXPECT_EQ("", PendingQueueBytes());
    EXPECT_FALSE(PathExists(winInit));
}
