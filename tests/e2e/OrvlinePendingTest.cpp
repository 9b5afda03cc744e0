// orvline /pending: what the restart queue of the NT family held, run now
// where it can be, the rest left for the restart; the report; a writer that
// keeps queueing meanwhile.
#include "engine/Handles.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <shlwapi.h>

#include <iostream>
#include <set>

namespace
{

const char kQueueValue[] = "PendingFileRenameOperations";
const char kBackupValue[] = "PendingFileRenameOperations.Backup";

using OrvlinePending = CQueueTest;

} // namespace

TEST_F(OrvlinePending, WithoutAQueueExitsWith3)
{
    const std::string text = SystemText(ERROR_FILE_NOT_FOUND);
    ASSERT_FALSE(text.empty());
    EXPECT_TRUE(RunEnded(RunOrvline("/pending"), 3, kGathering,
                         "\r\nTraitement echoue: " + text + " (2)\r\n"));
}

// "C:\tools\orvline C:\tools /log" queues the folder and then writes its
// report there: the report is queued after it, and the folder once more, so
// that the restart removes the folder.
TEST_F(OrvlinePending, TheReportDoesNotKeepItsFolder)
{
    const std::string tools = m_dir.Folder("tools");
    const std::string program = tools + "\\orvline.exe";
    ASSERT_TRUE(CopyFileA(GetBinPath("orvline.exe").c_str(), program.c_str(), FALSE));
    const std::string held = m_dir.File("tools\\held.dll", "h");
    {
        CHolder holder(CHolder::Open, held);
        ASSERT_TRUE(holder.IsHolding());
        const SRunResult run =
            RunProgram(Quote(program) + " " + Quote(tools) + " /log", 120000, m_dir.Path().c_str());
        EXPECT_EQ(0u, run.exitCode) << run.err;
    }
    EXPECT_NE(std::string::npos, ReadFileBytes(tools + "\\orvline.txt").find(tools + "\r\nStatut::"));
    ASSERT_TRUE(RestartPrefix());
    EXPECT_FALSE(PathExists(tools));
}

TEST_F(OrvlinePending, RunsTheQueueAndQueuesTheLockedAgain)
{
    const std::string freeFile = m_dir / "free.tmp";
    const std::string locked = m_dir / "locked.dll";
    const std::string newer = m_dir / "newer.dll";
    const std::string installed = m_dir / "installed.dll";
    const std::string oldName = m_dir / "old name.txt";
    const std::string newName = m_dir / "new name.txt";
    const std::string gone = m_dir / "gone.tmp";
    for (const std::string& file : {freeFile, locked, newer, installed, oldName, gone})
        ASSERT_TRUE(WriteFileBytes(file, file));

    CHolder holder(CHolder::Open, locked);
    ASSERT_TRUE(holder.IsHolding());
    ASSERT_TRUE(MoveFileExA(freeFile.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
    ASSERT_TRUE(MoveFileExA(locked.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
    ASSERT_TRUE(MoveFileExA(newer.c_str(), installed.c_str(),
                            MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING));
    ASSERT_TRUE(MoveFileExA(gone.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
    ASSERT_TRUE(MoveFileExA(oldName.c_str(), newName.c_str(), MOVEFILE_DELAY_UNTIL_REBOOT));
    ASSERT_TRUE(DeleteFileA(gone.c_str()));
    DWORD queuedType = 0;
    const std::string queued = PendingValueText(kQueueValue, &queuedType);
    ASSERT_NE("<none>", queued);

    EXPECT_TRUE(RunEnded(RunOrvline("/p"), 0, std::string(kGathering) + kProcessed, ""));

    // The free operations are done now.
    EXPECT_FALSE(PathExists(freeFile));
    EXPECT_EQ(newer, ReadFileBytes(installed));
    EXPECT_FALSE(PathExists(newer));
    EXPECT_FALSE(PathExists(oldName));
    EXPECT_EQ(oldName, ReadFileBytes(newName));
    // The queue went to the backup as it was; the entry whose source is
    // gone and the locked file's stay, in their order.
    DWORD backupType = 0;
    EXPECT_EQ(queued, PendingValueText(kBackupValue, &backupType));
    EXPECT_EQ(queuedType, backupType);
    std::vector<char> bytes;
    ASSERT_TRUE(ReadPendingValue(bytes));
    std::vector<std::string> strings = SplitMultiString(bytes);
    while (!strings.empty() && strings.back().empty())
        strings.pop_back();
    EXPECT_EQ((std::vector<std::string>{NtPath(locked), "", NtPath(gone)}), strings);

    holder.Release();
    ASSERT_TRUE(RestartPrefix());
    EXPECT_FALSE(PathExists(locked));
    EXPECT_EQ("<none>", PendingValueText(kQueueValue));
    EXPECT_TRUE(PathExists(newName));
}

TEST_F(OrvlinePending, BinaryValueWrittenDirectly)
{
    const std::string a = m_dir / "a.tmp";
    const std::string b = m_dir / "b.dll";
    const std::string c = m_dir / "c.dll";
    const std::string folder = m_dir / "folder";
    const std::string moved = m_dir / "sub\\folder";
    for (const std::string& file : {a, b, c})
        ASSERT_TRUE(WriteFileBytes(file, file));
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA((m_dir / "sub").c_str(), nullptr));
    const std::string value = Utf16Bytes(PendingQueueOf({NtPath(a), "", NtPath(b), "!" + NtPath(c),
                                                      NtPath(folder), NtPath(moved)}));
    ASSERT_TRUE(WritePendingValue(REG_BINARY, value));
    DeleteFileA(GetBinPath("orvline.txt").c_str());

    const SRunResult run = RunOrvline("/pending /log");
    EXPECT_EQ(0u, run.exitCode) << run.err;
    EXPECT_FALSE(PathExists(a));
    EXPECT_EQ(b, ReadFileBytes(c));
    EXPECT_FALSE(PathExists(folder));
    EXPECT_TRUE(PathIsDirectoryA(moved.c_str()));
    DWORD type = 0;
    EXPECT_EQ(value, PendingValueText(kBackupValue, &type));
    EXPECT_EQ(static_cast<DWORD>(REG_BINARY), type);
    EXPECT_EQ("<none>", PendingValueText(kQueueValue));

    // The report lists the operations taken over, in the queue's order.
    const std::string report = ReadFileBytes(GetBinPath("orvline.txt"));
    DeleteFileA(GetBinPath("orvline.txt").c_str());
    const std::size_t first = report.find(a + "\r\nStatut:: suppression effectuee avec succes");
    const std::size_t second = report.find(c + "\r\nStatut:: remplacement effectue avec succes");
    const std::size_t third = report.find(moved + "\r\nStatut:: deplacement effectue avec succes");
    EXPECT_NE(std::string::npos, first) << report;
    EXPECT_LT(first, second);
    EXPECT_LT(second, third);
    EXPECT_NE(std::string::npos, third) << report;
}

TEST_F(OrvlinePending, PendingAndASourceOperation)
{
    const std::string queued = m_dir.File("queued.tmp", "q");
    const std::string given = m_dir.File("given.tmp", "g");
    ASSERT_TRUE(WritePendingValue(REG_MULTI_SZ, PendingQueueOf({NtPath(queued), ""})));

    const SRunResult run = RunOrvline(Quote(given) + " /PENDING");
    EXPECT_EQ(0u, run.exitCode) << run.err;
    EXPECT_EQ(std::string(kGathering) + kProcessed, AfterBanner(run.out));
    EXPECT_FALSE(PathExists(queued));
    EXPECT_FALSE(PathExists(given));
}

// While orvline /pending takes over a queue of 20,000 deletions, another
// program queues 3,000 more through MoveFileExA: none of its entries is lost
// (each is still queued, or was taken over and carried out), and none of
// those carried out is queued again. The files lie in folders of 100, where
// Wine makes them quickly. ORV_RACE_ROUNDS sets the number of rounds (1).
TEST_F(OrvlinePending, EntriesQueuedMeanwhileAreNotLost)
{
    const int taken = 20000;
    const int perFolder = 100;
    const int foreign = 3000;
    char text[16] = {};
    const int rounds = GetEnvironmentVariableA("ORV_RACE_ROUNDS", text, sizeof(text)) ? atoi(text) : 1;
    const auto name = [](const std::string& folder, int i) {
        return folder + "\\q" + std::to_string(i) + ".txt";
    };
    for (int round = 0; round < rounds; ++round)
    {
        SCOPED_TRACE(round);
        CScratchDir dir;
        const std::string ours = dir.Folder("ours");
        const std::string theirs = dir / "theirs";
        const auto ourName = [&](int i) {
            return name(ours + "\\d" + std::to_string(i / perFolder), i);
        };
        std::vector<std::string> queue;
        for (int i = 0; i < taken; ++i)
        {
            if (i % perFolder == 0)
                dir.Folder("ours\\d" + std::to_string(i / perFolder));
            ASSERT_TRUE(WriteFileBytes(ourName(i), "x"));
            queue.push_back(NtPath(ourName(i)));
            queue.push_back("");
        }
        ClearPendingQueue();
        ASSERT_TRUE(WritePendingValue(REG_MULTI_SZ, PendingQueueOf(queue)));

        STARTUPINFOA startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process = {};
        std::string line = Quote(GetBinPath("orvbench.exe")) + " queue " + Quote(theirs) + " " +
                           std::to_string(foreign);
        ASSERT_TRUE(StartProcess(nullptr, &line[0], FALSE, 0, nullptr, nullptr,
                                   &startup, &process));
        CHandle writer(process.hProcess);
        CHandle thread(process.hThread);
        // Once the writer is at work.
        for (int wait = 0; wait < 600 && !PathExists(name(theirs, 20)); ++wait)
            Sleep(100);
        // The writer's rewrites of the whole value hold up Wine's server: on
        // a busy machine the take-over can need minutes.
        const SRunResult run = RunProgram(Quote(GetBinPath("orvline.exe")) + " /pending", 600000);
        EXPECT_EQ(0u, run.exitCode) << run.err;
        ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(writer.Get(), 600000));

        std::vector<char> bytes;
        ASSERT_TRUE(ReadPendingValue(bytes));
        const std::vector<std::string> strings = SplitMultiString(bytes);
        const std::set<std::string> queued(strings.begin(), strings.end());
        int lost = 0;
        int stillQueued = 0;
        for (int i = 0; i < foreign; ++i)
        {
            const bool isQueued = queued.count(NtPath(name(theirs, i))) != 0;
            stillQueued += isQueued ? 1 : 0;
            lost += PathExists(name(theirs, i)) && !isQueued ? 1 : 0;
        }
        // A clearing that writes while the writer queues loses about one
        // entry a round; one that does not look again right before its write
        // loses several.
        EXPECT_EQ(0, lost);
        // The writer queued after orvline had read the queue.
        EXPECT_GT(stillQueued, 0);
        for (int i = 0; i < taken; i += perFolder / 2)
            ASSERT_FALSE(PathExists(ourName(i))) << i;
        // Nothing taken over comes back: the writer rewrites the whole value
        // it read, and one read before the clearing wrote would put every
        // entry back.
        int takenQueued = 0;
        for (int i = 0; i < taken; ++i)
            takenQueued += queued.count(NtPath(ourName(i))) != 0 ? 1 : 0;
        EXPECT_EQ(0, takenQueued);
        std::cout << "round " << round << ": " << stillQueued << " of " << foreign
                  << " entries queued meanwhile are still queued, " << lost << " lost\n";
    }
}
