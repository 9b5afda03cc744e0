// orvline ended at a chosen moment, as a kill, a power cut or a closed
// console ends it, or meeting a queue that another program holds: each row
// a queue to take over or an operation, the queue's family, and how the run
// ends (killed once the first of its work is done, which is polled for; or
// against a wininit.ini held open); then the next run and a restart. Every
// file must end as the restart alone would have left it, no temporary file
// of ours may stay and no stray entry may wait in the queue. The rows of the
// 9x/Me family run in the Windows 98 prefix (OrvlineFaultsW98), with the
// orvline that meets MoveFileExA as 9x/Me has it. ORV_FAULT_ROUNDS sets the
// rounds of the kill in the take-over (20).
#include "engine/Handles.h"
#include "engine/PendingParser.h"
#include "engine/SystemServices.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <iostream>

namespace
{

enum EScene
{
    // The queue of a take-over: delete b.dll, a.new -> b.dll, delete c.dll,
    // x.tmp -> !c.dll, then 2,000 deletions; orvline /pending.
    TakeOverScene,
    // A replacement of a file by a copy of 64 MB.
    ReplacementScene,
};

enum EEnd
{
    // Killed once the first of its work is done: in the take-over, once the
    // round's chosen entry is carried out; in a replacement, once its copy
    // is under way.
    KilledMidWay,
    // wininit.ini held open by another program that shares it for reading.
    WinInitHeld,
};

struct SFault
{
    const char* name;
    bool nt; // the registry queue and orvline.exe; else wininit.ini and orvline98.exe
    EScene scene;
    EEnd end;
};

const SFault kFaults[] = {
    {"a kill in the take-over", true, TakeOverScene, KilledMidWay},
    {"a kill in the take-over", false, TakeOverScene, KilledMidWay},
    {"wininit.ini held by another program", false, TakeOverScene, WinInitHeld},
    {"a kill in a replacement's copy", true, ReplacementScene, KilledMidWay},
    {"a kill in a replacement's copy", false, ReplacementScene, KilledMidWay},
};

const int kBulk = 2000;
const DWORD kKilled = 0xDEAD;

std::string Program(bool nt)
{
    return Quote(GetBinPath(nt ? "orvline.exe" : "orvline98.exe"));
}

// A program started and not waited for, which the test may end at once.
class CStarted
{
public:
    explicit CStarted(std::string commandLine)
    {
        STARTUPINFOA startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process = {};
        if (StartProcess(nullptr, &commandLine[0], FALSE, 0, nullptr, nullptr, &startup,
                             &process))
        {
            m_process.Reset(process.hProcess);
            ::CloseHandle(process.hThread);
        }
    }

    bool IsStarted() const { return m_process.IsValid(); }
    bool HasEnded() const { return ::WaitForSingleObject(m_process.Get(), 0) == WAIT_OBJECT_0; }

    // Ends it where it stands; true when it was still at work then.
    bool Kill()
    {
        ::TerminateProcess(m_process.Get(), kKilled);
        ::WaitForSingleObject(m_process.Get(), 60000);
        DWORD code = 0;
        return ::GetExitCodeProcess(m_process.Get(), &code) && code == kKilled;
    }

private:
    CHandle m_process;
};

// Polls every millisecond until the condition holds or the program ends.
template <typename Condition>
bool WaitWhileRunning(const CStarted& run, Condition condition)
{
    const DWORD start = ::GetTickCount();
    while (!condition())
    {
        if (run.HasEnded() || ::GetTickCount() - start > 120000)
            return false;
        ::Sleep(1);
    }
    return true;
}

std::string Content(const std::string& path)
{
    return PathExists(path) ? ReadFileBytes(path) : "(none)";
}

// The entries waiting for the restart in either queue.
std::size_t QueuedEntries()
{
    std::vector<char> bytes;
    std::size_t count = 0;
    if (ReadPendingValue(bytes))
        count += SplitMultiString(bytes).size() / 2;
    return count + ParseWinInitEntries(ReadFileBytes(WindowsPath("wininit.ini"))).size();
}

class CTakeOver
{
public:
    CTakeOver(const CScratchDir& dir, bool nt) : m_dir(dir), m_nt(nt) {}

    void Prepare()
    {
        ClearPendingQueue();
        ::DeleteFileA(WindowsPath("wininit.ini").c_str());
        ASSERT_TRUE(WriteFileBytes(m_b, "old b") && WriteFileBytes(m_new, "new") &&
                    WriteFileBytes(m_c, "old c") && WriteFileBytes(m_x, "x"));
        std::vector<std::string> queue = {NtPath(m_b), "", NtPath(m_new), NtPath(m_b),
                                          NtPath(m_c), "", NtPath(m_x), "!" + NtPath(m_c)};
        std::string ini = "[rename]\r\nNUL=" + m_b + "\r\n" + m_b + "=" + m_new + "\r\nNUL=" + m_c + "\r\n" +
                          m_c + "=" + m_x + "\r\n";
        for (int i = 0; i < kBulk; ++i)
        {
            if (i % 100 == 0)
                ::CreateDirectoryA(Folder(i).c_str(), nullptr);
            ASSERT_TRUE(WriteFileBytes(Bulk(i), "q"));
            queue.push_back(NtPath(Bulk(i)));
            queue.push_back("");
            ini += "NUL=" + Bulk(i) + "\r\n";
        }
        ASSERT_TRUE(m_nt ? WritePendingValue(REG_MULTI_SZ, PendingQueueOf(queue))
                         : WriteFileBytes(WindowsPath("wininit.ini"), ini));
    }

    std::string CommandLine() const { return Program(m_nt) + " /pending"; }

    // Round `round` of `rounds`: a kill right after the rename onto b.dll,
    // or once one of the deletions after it is done.
    bool IsAtTheMoment(int round, int rounds) const
    {
        if (round % 4 == 0)
            return Content(m_b) == "new";
        return !PathExists(Bulk(round * kBulk / rounds));
    }

    int BulkDone() const
    {
        int done = 0;
        for (int i = 0; i < kBulk; ++i)
            done += PathExists(Bulk(i)) ? 0 : 1;
        return done;
    }

    // The files as the restart alone leaves them.
    void ExpectRestartAlone() const
    {
        EXPECT_EQ("new", Content(m_b));
        EXPECT_EQ("x", Content(m_c));
        EXPECT_FALSE(PathExists(m_new));
        EXPECT_FALSE(PathExists(m_x));
        EXPECT_EQ(kBulk, BulkDone());
        EXPECT_EQ(0u, QueuedEntries());
    }

    // The files before anything was done.
    void ExpectUntouched() const
    {
        EXPECT_EQ("old b", Content(m_b));
        EXPECT_EQ("old c", Content(m_c));
        EXPECT_EQ("new", Content(m_new));
        EXPECT_EQ("x", Content(m_x));
        EXPECT_EQ(0, BulkDone());
    }

private:
    std::string Folder(int i) const { return m_dir / ("d" + std::to_string(i / 100)); }
    std::string Bulk(int i) const { return Folder(i) + "\\q" + std::to_string(i) + ".txt"; }

    const CScratchDir& m_dir;
    bool m_nt;
    std::string m_b = m_dir / "b.dll";
    std::string m_new = m_dir / "a.new";
    std::string m_c = m_dir / "c.dll";
    std::string m_x = m_dir / "x.tmp";
};

void RunTakeOverKills(const SFault& fault)
{
    char text[16] = {};
    const int rounds = GetEnvironmentVariableA("ORV_FAULT_ROUNDS", text, sizeof(text)) ? atoi(text) : 20;
    int landed = 0;
    for (int round = 0; round < rounds; ++round)
    {
        SCOPED_TRACE(round);
        CScratchDir dir;
        CTakeOver scene(dir, fault.nt);
        ASSERT_NO_FATAL_FAILURE(scene.Prepare());
        const std::size_t before = QueuedEntries();
        CStarted run(scene.CommandLine());
        ASSERT_TRUE(run.IsStarted());
        WaitWhileRunning(run, [&] { return scene.IsAtTheMoment(round, rounds); });
        const bool killed = run.Kill();
        landed += killed ? 1 : 0;
        std::cout << "round " << round << ": " << (killed ? "killed" : "ended before the kill") << " with "
                  << scene.BulkDone() << " of " << kBulk << " deletions done; " << QueuedEntries() << " of "
                  << before << " entries still queued\n";
        ASSERT_TRUE(RestartPrefix());
        scene.ExpectRestartAlone();
        EXPECT_EQ(std::vector<std::string>{}, TemporaryFilesIn(dir.Path()));
    }
    EXPECT_GT(landed, 0);
}

void RunHeldWinInit(const SFault& fault)
{
    CScratchDir dir;
    CTakeOver scene(dir, fault.nt);
    ASSERT_NO_FATAL_FAILURE(scene.Prepare());
    const std::string ini = WindowsPath("wininit.ini");
    const std::string before = ReadFileBytes(ini);
    {
        CHolder holder(CHolder::Read, ini);
        ASSERT_TRUE(holder.IsHolding());
        // Nothing runs against a queue that cannot be written; the error line
        // names it, with the system's text and code.
        EXPECT_TRUE(RunEnded(RunProgram(scene.CommandLine()), 3, kGathering,
                             FailureLine(ini, ERROR_SHARING_VIOLATION) + "\r\nTraitement echoue: " +
                                 SystemText(ERROR_SHARING_VIOLATION) + " (32)\r\n"));
        scene.ExpectUntouched();
        EXPECT_EQ(before, ReadFileBytes(ini));
    }
    ASSERT_TRUE(RestartPrefix());
    scene.ExpectRestartAlone();
}

void RunReplacementKill(const SFault& fault)
{
    CScratchDir dir;
    ClearPendingQueue();
    const std::string app = dir.Folder("app");
    const std::string target = dir.File("app\\lib.dll", "old");
    const std::string other = dir.File("app\\other.txt", "o");
    const std::string bytes(64 << 20, 'n');
    const std::string source = dir.Folder("src") + "\\big.new";
    ASSERT_TRUE(WriteFileBytes(source, bytes));
    // Until a kill lands while the copy is under way (a loaded machine may
    // let the run end first).
    bool landed = false;
    for (int attempt = 0; attempt < 5 && !landed; ++attempt)
    {
        ASSERT_TRUE(WriteFileBytes(target, "old"));
        CStarted run(Program(fault.nt) + " " + Quote(source) + " " + Quote(target));
        ASSERT_TRUE(run.IsStarted());
        landed = WaitWhileRunning(run, [&] { return !TemporaryFilesIn(app).empty(); }) && run.Kill();
    }
    ASSERT_TRUE(landed);
    // The old file is whole; the copy is left.
    EXPECT_EQ("old", Content(target));
    EXPECT_EQ(1u, TemporaryFilesIn(app).size());
    EXPECT_EQ(0u, QueuedEntries());

    // The next run that works in that folder takes the leftover away, and
    // queues nothing for it.
    EXPECT_EQ(0u, RunProgram(Program(fault.nt) + " " + Quote(other)).exitCode);
    EXPECT_EQ(std::vector<std::string>{}, TemporaryFilesIn(app));
    EXPECT_EQ(0u, QueuedEntries());
    EXPECT_EQ(0u, RunProgram(Program(fault.nt) + " " + Quote(source) + " " + Quote(target)).exitCode);
    EXPECT_TRUE(Content(target) == bytes);
    EXPECT_TRUE(Content(source) == bytes);
    ASSERT_TRUE(RestartPrefix());
    EXPECT_TRUE(Content(target) == bytes);
    EXPECT_EQ(std::vector<std::string>{}, TemporaryFilesIn(app));
}

void RunFaults(bool nt)
{
    ASSERT_EQ(nt, IsWindowsNT());
    for (const SFault& fault : kFaults)
    {
        if (fault.nt != nt)
            continue;
        SCOPED_TRACE(fault.name);
        if (fault.scene == ReplacementScene)
            RunReplacementKill(fault);
        else if (fault.end == WinInitHeld)
            RunHeldWinInit(fault);
        else
            RunTakeOverKills(fault);
    }
    ClearPendingQueue();
    ::DeleteFileA(WindowsPath("wininit.ini").c_str());
}

} // namespace

TEST(OrvlineFaults, EndedAtAnyMomentNothingIsLost)
{
    RunFaults(true);
}

TEST(OrvlineFaultsW98, EndedAtAnyMomentNothingIsLost)
{
    RunFaults(false);
}
