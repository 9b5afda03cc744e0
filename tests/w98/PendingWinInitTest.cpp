// The restart queue of Windows 9x/Me: the [rename] section of wininit.ini
// read into the operation list with long names, the file moved to
// wininit.bak, and orvline /pending running what was queued.
#include "engine/FileInfo.h"
#include "engine/Handles.h"
#include "engine/PendingStore.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace
{

std::string IniPath()
{
    return WindowsPath("wininit.ini");
}

std::string BakPath()
{
    return WindowsPath("wininit.bak");
}

// An entry line as the take-over leaves it once carried out: a comment, its
// first byte and each "=" turned into ";".
std::string Marked(std::string line)
{
    line[0] = ';';
    for (char& c : line)
        c = c == '=' ? ';' : c;
    return line;
}

class WinInitStore : public CQueueTest
{
protected:
    void SetUp() override { Clear(); }
    void TearDown() override { Clear(); }
    static void Clear()
    {
        DeleteFileA(IniPath().c_str());
        DeleteFileA(BakPath().c_str());
        RemoveDirectoryA(BakPath().c_str());
    }

    std::string m_gone = m_dir / "gone.txt";
};

} // namespace

TEST_F(WinInitStore, ReadsTheFirstRenameSectionWithLongNames)
{
    const std::string longFile = m_dir / "long file name.dll";
    const std::string folder = m_dir.Folder("old folder");
    const std::string moving = m_dir / "temp new file.dll";
    const std::string target = m_dir / "new.dll";
    const std::string equals = m_dir / "b=c";
    const std::string plain = m_dir / "x.dll";
    const std::string other = m_dir / "y.dll";
    for (const std::string& file : {longFile, moving, equals, plain, other})
        ASSERT_TRUE(WriteFileBytes(file, "x"));

    const std::string text = "[boot]\r\n"
                             "NUL=" + other + "\r\n"
                             "  [RENAME]  \r\n"
                             "; note\r\n"
                             "NUL=" + ShortPath(longFile) + "\r\n"
                             "\r\n"
                             "\tdirnul = " + ShortPath(folder) + "\r\n"
                             "no equals sign\r\n" +
                             target + "=" + ShortPath(moving) + "\r\n"
                             "NUL=" + m_dir / "gone.dll" + "\r\n" +
                             m_dir / "a" + "=" + equals + "\r\n"
                             "=" + plain + "\r\n" +
                             other + "=\r\n"
                             "[other]\r\n"
                             "NUL=" + other + "\r\n"
                             "[rename]\r\n"
                             "NUL=" + other + "\r\n";
    ASSERT_NE(longFile, ShortPath(longFile));
    ASSERT_TRUE(WriteFileBytes(IniPath(), text));

    CFileInfoList list;
    SetLastError(0xdeadbeef);
    EXPECT_TRUE(list.LoadPending()) << GetLastError();
    // "=x.dll" is no deletion: the restart leaves it alone.
    ASSERT_EQ(4u, list.GetCount());
    ExpectOperation(list.GetAt(0), ActionDelete, longFile, "");
    ExpectOperation(list.GetAt(1), ActionDelete, folder, "");
    EXPECT_TRUE(list.GetAt(1)->IsDirectory());
    ExpectOperation(list.GetAt(2), ActionRename, moving, target);
    // Split at the first '=': target "a", source "b=c".
    ExpectOperation(list.GetAt(3), ActionRename, equals, m_dir / "a");

    // Reading changes nothing on disk.
    EXPECT_EQ(text, ReadFileBytes(IniPath()));
    EXPECT_FALSE(PathExists(BakPath()));
}

TEST_F(WinInitStore, FilesWithoutOperations)
{
    const std::string file = m_dir.File("f.txt", "x");
    const std::string texts[] = {
        "",
        "[boot]\r\nNUL=" + file + "\r\n",
        "[rename]\r\n",
        "[rename]\r\n; NUL=" + file + "\r\n[boot]\r\n",
        "[boot]\r\n[other]\r\n[rename]\r\n[rename]\r\nNUL=" + file + "\r\n",
    };
    for (const std::string& text : texts)
    {
        ASSERT_TRUE(WriteFileBytes(IniPath(), text));
        CFileInfoList list;
        EXPECT_TRUE(list.LoadPendingFromWinInit()) << text;
        EXPECT_TRUE(list.IsEmpty()) << text;
    }
}

TEST_F(WinInitStore, OddFilesThroughTheReader)
{
    const std::string file = m_dir.File("f.txt", "x");
    const std::string section = "[rename]\r\n";
    struct
    {
        std::string text;
        std::size_t operations;
    } cases[] = {
        {section + "NUL=" + file, 1},                                          // no final line feed
        {section + "NUL=" + file + "\n", 1},                                   // LF only
        {section + "NUL=" + std::string(100000, 'x') + "\r\nNUL=" + file, 1},  // very long line
        {section + std::string("NUL=\0\r\n", 7) + "NUL=" + file, 1},           // zero bytes
        {section + "NUL=" + file + "\r\n\x1a" + "NUL=" + m_dir.Path(), 1},     // end of text mark
        {section + "NUL=" + file + "\r" + "NUL=" + m_dir.Path() + "\r\n", 0},  // lone CR
        {std::string(1 << 20, '\n') + section + "NUL=" + file, 1},            // a megabyte
        {std::string(3, '\0'), 0},
    };
    for (const auto& c : cases)
    {
        ASSERT_TRUE(WriteFileBytes(IniPath(), c.text));
        CFileInfoList list;
        EXPECT_TRUE(list.LoadPendingFromWinInit()) << c.text.size();
        EXPECT_EQ(c.operations, list.GetCount()) << c.text.size();
    }
}

TEST_F(WinInitStore, MissingOrLockedFile)
{
    CFileInfoList list;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(list.LoadPending()) << GetLastError();
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
    EXPECT_TRUE(RunEnded(RunOrvline("/pending"), 3, kGathering,
                         "\r\nTraitement echoue: " + SystemText(ERROR_FILE_NOT_FOUND) + " (2)\r\n"));

    // Another process holds the file without sharing it.
    ASSERT_TRUE(WriteFileBytes(IniPath(), "[rename]\r\n"));
    {
        CHolder holder(CHolder::Open, IniPath());
        ASSERT_TRUE(holder.IsHolding());
        SetLastError(0xdeadbeef);
        EXPECT_FALSE(list.LoadPendingFromWinInit()) << GetLastError();
        EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), GetLastError());
    }
    EXPECT_TRUE(list.IsEmpty());
}

TEST_F(WinInitStore, RemoveClearsOnlyTheLinesTakenOver)
{
    const std::string file = m_dir.File("f.txt", "x");
    const std::string text = "[CombineVxDs]\r\nx=y\r\n[rename]\r\nNUL=" + file + "\r\n; note\r\n"
                             "NUL=" + m_gone + "\r\n";
    ASSERT_TRUE(WriteFileBytes(IniPath(), text));
    ASSERT_TRUE(WriteFileBytes(BakPath(), "older backup"));

    SetLastError(0xdeadbeef);
    EXPECT_TRUE(RemovePending()) << GetLastError();
    EXPECT_EQ("[CombineVxDs]\r\nx=y\r\n[rename]\r\n" + Marked("NUL=" + file) + "\r\n; note\r\nNUL=" +
                  m_gone + "\r\n",
              ReadFileBytes(IniPath()));
    EXPECT_EQ(text, ReadFileBytes(BakPath()));

    // Nothing left to take over: nothing changes.
    const std::string rest = ReadFileBytes(IniPath());
    EXPECT_TRUE(RemovePending());
    EXPECT_EQ(rest, ReadFileBytes(IniPath()));
    EXPECT_EQ(text, ReadFileBytes(BakPath()));
}

// orvline /pending on the 9x family: each row the wininit.ini before, the
// command line, then the exit code, wininit.ini and wininit.bak after.
TEST_F(WinInitStore, OrvlineTakesOverOnlyWhatItRuns)
{
    const std::string a = m_dir / "a.txt";
    const std::string kept = "[CombineVxDs]\r\nsys=1\r\n[rename]\r\n; comment\r\n"
                             "NUL=" + m_gone + "\r\nNUL=relative.txt\r\nNUL=C:\\\r\n";
    const std::string taken = "NUL=" + a + "\r\n";
    const std::string tail = "[boot]\r\nshell=Explorer.exe\r\n";
    struct
    {
        const char* name;
        std::string args;
        DWORD exitCode;
        std::string iniAfter;
        std::string bakAfter; // "" : no backup
        bool bakIsFolder;     // then no backup can be written
    } rows[] = {
        {"entries not taken over stay", "/pending", 0, kept + Marked(taken) + tail, kept + taken + tail, false},
        {"an early exit changes nothing", Quote(m_dir / "nope.txt") + " /pending", 4,
         kept + taken + tail, "", false},
        // A queue that cannot be cleared: nothing runs, nothing runs twice.
        {"a queue that stays", "/pending", 3, kept + taken + tail, "", true},
    };
    for (const auto& row : rows)
    {
        SCOPED_TRACE(row.name);
        Clear();
        ASSERT_TRUE(WriteFileBytes(a, "a"));
        ASSERT_TRUE(WriteFileBytes(IniPath(), kept + taken + tail));
        if (row.bakIsFolder)
        {
            ASSERT_TRUE(CreateDirectoryA(BakPath().c_str(), nullptr));
        }
        EXPECT_EQ(row.exitCode, RunOrvline(row.args).exitCode);
        EXPECT_EQ(row.exitCode != 0, PathExists(a));
        EXPECT_EQ(row.iniAfter, ReadFileBytes(IniPath()));
        EXPECT_EQ(row.bakAfter, ReadFileBytes(BakPath()));
    }
}

TEST_F(WinInitStore, OrvlineRunsTheSection)
{
    const std::string freeFile = m_dir / "free file.tmp";
    const std::string moving = m_dir / "moving file.txt";
    const std::string moved = m_dir / "sub\\moved.txt";
    const std::string locked = m_dir / "locked file.dll";
    ASSERT_TRUE(CreateDirectoryA((m_dir / "sub").c_str(), nullptr));
    for (const std::string& file : {freeFile, moving, locked})
        ASSERT_TRUE(WriteFileBytes(file, file));
    const std::string freeLine = "NUL=" + ShortPath(freeFile) + "\r\n";
    const std::string text = "[rename]\r\n" + freeLine +
                             moved + "=" + ShortPath(moving) + "\r\n"
                             "NUL=" + ShortPath(locked) + "\r\n";
    ASSERT_TRUE(WriteFileBytes(IniPath(), text));

    CHolder holder(CHolder::Open, locked);
    ASSERT_TRUE(holder.IsHolding());
    EXPECT_TRUE(RunEnded(RunOrvline("/pending"), 0, std::string(kGathering) + kProcessed, ""));

    EXPECT_FALSE(PathExists(freeFile));
    EXPECT_FALSE(PathExists(moving));
    EXPECT_EQ(moving, ReadFileBytes(moved));
    EXPECT_EQ(text, ReadFileBytes(BakPath()));
    EXPECT_TRUE(PathExists(locked));
    // Every line was taken over; the locked file may be queued again there.
    const std::string rest = ReadFileBytes(IniPath());
    EXPECT_EQ(0u, rest.find("[rename]\r\n")) << rest;
    EXPECT_EQ(std::string::npos, rest.find(freeLine)) << rest;

    // The locked file is queued again, where the system takes delayed
    // operations; the restart deletes it.
    std::vector<char> bytes;
    ReadPendingValue(bytes);
    const std::vector<std::string> strings = SplitMultiString(bytes);
    const bool inRegistry =
        std::find(strings.begin(), strings.end(), NtPath(locked)) != strings.end();
    const bool inWinInit = ReadFileBytes(IniPath()).find("NUL=" + ShortPath(locked)) != std::string::npos;
    EXPECT_TRUE(inRegistry || inWinInit);
    holder.Release();
    ASSERT_TRUE(RestartPrefix());
    EXPECT_FALSE(PathExists(locked));
    EXPECT_TRUE(PathExists(moved));
}

// A line that the restart leaves alone ("=path": no left side) and paths
// that are no full drive paths: /queue lists them as they stand, /pending
// leaves them where they are, and so does the restart.
TEST_F(WinInitStore, LinesTheRestartLeavesAlone)
{
    const std::string kept = m_dir.File("kept.txt", "k");
    const std::string taken = m_dir.File("taken.txt", "t");
    const std::string text = "[rename]\r\n=" + kept + "\r\nNUL=relative.txt\r\nNUL=" + taken + "\r\n";
    ASSERT_TRUE(WriteFileBytes(IniPath(), text));
    const std::string orvline98 = Quote(GetBinPath("orvline98.exe"));
    EXPECT_TRUE(RunEnded(RunProgram(orvline98 + " /queue"), 0,
                         "=" + kept + "\r\nSupprimer relative.txt\r\nSupprimer " + taken + "\r\n", ""));
    EXPECT_TRUE(RunEnded(RunProgram(orvline98 + " /pending"), 0, std::string(kGathering) + kProcessed, ""));
    EXPECT_EQ("[rename]\r\n=" + kept + "\r\nNUL=relative.txt\r\n" + Marked("NUL=" + taken) + "\r\n",
              ReadFileBytes(IniPath()));
    EXPECT_TRUE(PathExists(kept));
    EXPECT_FALSE(PathExists(taken));
    ASSERT_TRUE(RestartPrefix());
    EXPECT_TRUE(PathExists(kept));
}

// orvline as on Windows 9x/Me (MoveFileExA not implemented): each row the
// wininit.ini before (none when null), whether it cannot be written, the files
// held open, the command line; then the exit code, wininit.ini and the
// files after the run, and the files after a restart. The section's shapes
// are found alike by the writer and the reader, and a taken-over queue
// keeps what the restart would do.
TEST_F(WinInitStore, Orvline9xKeepsWhatTheRestartWouldDo)
{
    const std::string n = m_dir / "N.txt";
    const std::string b = m_dir / "b.dll";
    const std::string fresh = m_dir / "new.tmp";
    const std::string locked = m_dir / "locked.dll";
    for (const std::string& file : {n, b, fresh, locked})
        ASSERT_TRUE(WriteFileBytes(file, "x"));
    const std::string del = "NUL=" + ShortPath(n) + "\r\n";
    const std::string old = "NUL=C:\\OLD.DLL\r\n";
    const std::string other = "[boot]\r\nshell=Explorer.exe\r\n";
    const std::string bom = "\xEF\xBB\xBF";
    const std::string replace = ShortPath(b) + "=" + ShortPath(fresh) + "\r\n";
    const std::string waiting = "NUL=" + ShortPath(locked) + "\r\n" + ShortPath(locked) + "=" +
                                ShortPath(fresh) + "\r\n";
    struct
    {
        const char* name;
        const char* before; // null: no wininit.ini
        bool unwritable; // a folder of that name
        std::string args;
        DWORD exitCode;
        std::string after;
        const char* filesAfter;        // N, b, new, locked: '1' there, '0' gone
        const char* filesAfterRestart;
    } rows[] = {
        {"no file", nullptr, false, Quote(n), 0, "[Rename]\r\n" + del, "1111", "0111"},
        {"leading blanks", "  [Rename]\r\n", false, Quote(n), 0, "  [Rename]\r\n" + del, "1111", "0111"},
        {"a comment after the header", "[Rename] ; pending\r\n", false, Quote(n), 0,
         "[Rename] ; pending\r\n" + del, "1111", "0111"},
        {"a byte-order mark", "", false, Quote(n), 0, bom + "[Rename]\r\n" + old + del + other, "1111",
         "0111"},
        {"an indented next section", "", false, Quote(n), 0, "[Rename]\r\n" + del + "  " + other,
         "1111", "0111"},
        {"a tab before the next section", "", false, Quote(n), 0, "[Rename]\r\n" + del + "\t" + other,
         "1111", "0111"},
        {"an end-of-text mark", "", false, Quote(n), 0, "[Rename]\r\n" + old + del + "\x1a", "1111",
         "0111"},
        {"an end-of-text mark, no section", "", false, Quote(n), 0,
         other + "[Rename]\r\n" + del + "\x1a", "1111", "0111"},
        {"a file that cannot be written", nullptr, true, Quote(n), 10, "", "1111", "1111"},
        {"a replacement moves its source", "", false, "/pending", 0, "[rename]\r\n" + Marked(replace), "1101",
         "1101"},
        {"a locked deletion, then a rename onto its name", "", false, "/pending", 0,
         "[rename]\r\n" + waiting, "1111", "1101"},
    };
    // The texts that need the rows' own strings.
    const std::string befores[] = {"", "", "", bom + "[Rename]\r\n" + old + other,
                                   "[Rename]\r\n  " + other, "[Rename]\r\n\t" + other,
                                   "[Rename]\r\n" + old + "\x1a", other + "\x1a", "",
                                   "[rename]\r\n" + replace, "[rename]\r\n" + waiting};
    static_assert(sizeof(rows) / sizeof(rows[0]) == sizeof(befores) / sizeof(befores[0]), "");
    const std::string orvline98 = Quote(GetBinPath("orvline98.exe"));
    const auto files = [&] {
        std::string there;
        for (const std::string& file : {n, b, fresh, locked})
            there += PathExists(file) ? '1' : '0';
        return there;
    };
    for (std::size_t i = 0; i < sizeof(rows) / sizeof(rows[0]); ++i)
    {
        const auto& row = rows[i];
        SCOPED_TRACE(row.name);
        Clear();
        ClearPendingQueue();
        for (const std::string& file : {n, b, fresh, locked})
            ASSERT_TRUE(WriteFileBytes(file, file));
        if (row.before)
        {
            ASSERT_TRUE(WriteFileBytes(IniPath(), *row.before ? row.before : befores[i]));
        }
        if (row.unwritable)
        {
            ASSERT_TRUE(CreateDirectoryA(IniPath().c_str(), nullptr));
        }
        {
            CHolder holdN(CHolder::Open, n);
            CHolder holdLocked(CHolder::Open, locked);
            ASSERT_TRUE(holdN.IsHolding() && holdLocked.IsHolding());
            const SRunResult run = RunProgram(orvline98 + " " + row.args);
            EXPECT_EQ(row.exitCode, run.exitCode) << run.err;
            if (row.unwritable)
            {
                EXPECT_NE(std::string::npos, run.err.find(FailureLine(n, ERROR_ACCESS_DENIED))) << run.err;
            }
            EXPECT_EQ(row.after, ReadFileBytes(IniPath()));
            EXPECT_EQ(row.filesAfter, files());
            EXPECT_EQ("", PendingQueueBytes());
        }
        RemoveDirectoryA(IniPath().c_str());
        ASSERT_TRUE(RestartPrefix());
        EXPECT_EQ(row.filesAfterRestart, files());
    }
}
