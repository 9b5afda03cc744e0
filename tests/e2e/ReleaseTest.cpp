// orvline /release: the handles other processes hold open on the source, or
// on the file the target replaces, are closed first; those processes go on
// running, the operation is done at once, and their next use of the handle
// fails. The system's own processes are never touched.
#include "engine/Text.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace
{

TEST(OrvlineRelease, EachKindOfHolderFreedThenTheOperationDoneAtOnce)
{
    CEmptyPendingQueue queue;
    CScratchDir dir;
    // A program of the name of a process the system cannot live without.
    const std::string critical = dir.Folder("system") + "\\csrss.exe";
    ASSERT_TRUE(::CopyFileA(GetBinPath("orvholder.exe").c_str(), critical.c_str(), FALSE));
    const std::string holderPath = GetBinPath("orvholder.exe");

    enum EOutcome { Freed, Refused, Kept };
    struct
    {
        const char* name;
        CHolder::EMode mode;
        const char* held;   // what the holder holds, in the row's folder
        const char* source; // the operation, in the row's folder
        const char* target; // null: a deletion
        bool release;
        bool criticalName;
        EOutcome outcome;
    } rows[] = {
        {"a file open without sharing", CHolder::Open, "f.txt", "f.txt", nullptr, true, false, Freed},
        {"a folder open", CHolder::Folder, "d", "d", nullptr, true, false, Freed},
        {"a handle inside a folder", CHolder::Open, "d\\in.txt", "d", nullptr, true, false, Freed},
        {"the file a replacement replaces", CHolder::Open, "old.txt", "new.txt", "old.txt", true, false, Freed},
        {"loaded and open: the handle only", CHolder::Both, "lib.dll", "lib.dll", nullptr, true, false, Kept},
        {"a process of the system", CHolder::Open, "f.txt", "f.txt", nullptr, true, true, Refused},
        {"without the option", CHolder::Open, "f.txt", "f.txt", nullptr, false, false, Kept},
    };
    int index = 0;
    for (const auto& row : rows)
    {
        SCOPED_TRACE(row.name);
        ClearPendingQueue();
        const std::string folder = dir.Folder("row" + std::to_string(index++));
        const std::string held = folder + "\\" + row.held;
        ::CreateDirectoryA((folder + "\\d").c_str(), nullptr);
        const bool made = std::string(row.held) == "lib.dll" ? CopyFixtureDll(held)
                          : row.mode == CHolder::Folder       ? true
                                                              : WriteFileBytes(held, "held");
        ASSERT_TRUE(made);
        ASSERT_TRUE(WriteFileBytes(folder + "\\new.txt", "new"));
        const std::string source = folder + "\\" + row.source;
        const std::string target = row.target ? folder + "\\" + row.target : std::string();
        CHolder holder(row.mode, held, row.criticalName ? critical : std::string());
        ASSERT_TRUE(holder.IsHolding());
        const std::string executable = row.criticalName ? critical : holderPath;
        const std::string line = std::to_string(holder.GetProcessId()) + "\t" + executable + "\t";

        const SRunResult run = RunOrvline(Quote(source) + (row.target ? " " + Quote(target) : "") +
                                          (row.release ? " /release" : ""));
        const std::string released = row.outcome == Refused || !row.release ? "" : line + "1 handle(s) ferme(s)\r\n";
        const std::string refused =
            row.outcome == Refused ? "\r\n" + line + "processus du systeme ou non identifie, aucun handle ferme\r\n"
                                   : "";
        EXPECT_TRUE(RunEnded(run, 0, released + kProcessed, refused));

        // Done at once, or queued for the restart while still in use.
        const bool atOnce = row.outcome == Freed;
        EXPECT_EQ(atOnce, PendingQueueBytes().empty());
        if (row.target)
        {
            EXPECT_EQ(atOnce ? "new" : "held", ReadFileBytes(target));
        }
        else
        {
            EXPECT_EQ(atOnce, !PathExists(source));
        }
        // The holder goes on; the handle it had is gone unless it was kept.
        EXPECT_FALSE(holder.HasEnded(0));
        const bool closed = row.release && row.outcome != Refused;
        EXPECT_EQ(closed, holder.Use().compare(0, 7, "failed ") == 0);
        holder.Release();
    }
    ClearPendingQueue();
}

} // namespace
