// The take-over's plan as a journal: which entries run, and where the queue
// must be written before the next one may run.
#include "engine/TakeOver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

namespace
{

// An entry of single-letter paths ("B" the file B, "D\\X" inside folder D);
// '-': not runnable.
STakeOverEntry Entry(const std::wstring& paths, bool runnable = true)
{
    STakeOverEntry entry;
    entry.runnable = runnable;
    for (std::size_t at = 0; at < paths.size();)
    {
        const std::size_t end = std::min(paths.find(L' ', at), paths.size());
        entry.paths.push_back(L"C:\\" + paths.substr(at, end - at));
        at = end + 1;
    }
    return entry;
}

} // namespace

TEST(PlanTakeOver, CommitsBeforeAnEntryThatDependsOnWhatWasDone)
{
    struct
    {
        const char* name;
        std::vector<STakeOverEntry> entries;
        std::set<std::size_t> failing;  // entries whose run fails
        int failingCommit;              // the commit that fails (1 the first), 0: none
        const char* events;             // rN: entry N ran; C: a lasting commit; c: the last commit
    } rows[] = {
        // Delete B, A -> B, delete C, X -> C, delete E: each rename waits
        // for the deletion before it to leave the queue.
        {"the queue of the report", {Entry(L"B"), Entry(L"A B"), Entry(L"C"), Entry(L"X C"), Entry(L"E")}, {}, 0,
         "r0 C r1 r2 C r3 r4 c"},
        {"nothing in common: one commit at the end", {Entry(L"A"), Entry(L"B"), Entry(L"C")}, {}, 0, "r0 r1 r2 c"},
        // A folder and what lies in it touch each other, both ways.
        {"a file, then its folder", {Entry(L"D\\X"), Entry(L"D")}, {}, 0, "r0 C r1 c"},
        {"a folder, then a file in it", {Entry(L"D"), Entry(L"D\\X")}, {}, 0, "r0 C r1 c"},
        {"a name that only begins alike", {Entry(L"D"), Entry(L"DX")}, {}, 0, "r0 r1 c"},
        // What waits or fails changes nothing: no commit for it, and what
        // touches it waits too, untried.
        {"an entry that cannot run", {Entry(L"B", false), Entry(L"A B"), Entry(L"C")}, {}, 0, "r2 c"},
        {"a failed entry", {Entry(L"B"), Entry(L"A B"), Entry(L"C")}, {0}, 0, "r0 r2 c"},
        {"nothing done, nothing written", {Entry(L"B")}, {0}, 0, "r0"},
        // A commit that fails stops the run: the rest stays queued.
        {"a commit that fails", {Entry(L"B"), Entry(L"A B"), Entry(L"C")}, {}, 1, "r0 C"},
        {"the last commit fails", {Entry(L"B"), Entry(L"C")}, {}, 1, "r0 r1 c"},
    };
    for (const auto& row : rows)
    {
        SCOPED_TRACE(row.name);
        std::string events;
        int commits = 0;
        const auto note = [&](const std::string& event) { events += (events.empty() ? "" : " ") + event; };
        const std::vector<bool> done = PlanTakeOver(
            row.entries,
            [&](std::size_t i) {
                note("r" + std::to_string(i));
                return row.failing.count(i) == 0;
            },
            [&](bool lasting) {
                note(lasting ? "C" : "c");
                return ++commits != row.failingCommit;
            });
        EXPECT_EQ(row.events, events);
        ASSERT_EQ(row.entries.size(), done.size());
        for (std::size_t i = 0; i < done.size(); ++i)
        {
            const bool ran = events.find("r" + std::to_string(i)) != std::string::npos;
            EXPECT_EQ(ran && row.failing.count(i) == 0, done[i]) << i;
        }
    }
}
