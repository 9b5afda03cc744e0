// A replacement on the Windows 9x/Me family, which cannot rename onto an
// existing file: the old file steps aside only while the new one, complete,
// takes its name, and comes back when it cannot.
#include "engine/FileReplace.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace
{

std::vector<std::string> Names(const std::string& folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA data = {};
    const HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &data);
    while (find != INVALID_HANDLE_VALUE)
    {
        if (std::string(data.cFileName) != "." && std::string(data.cFileName) != "..")
            names.push_back(data.cFileName);
        if (!FindNextFileA(find, &data))
            break;
    }
    if (find != INVALID_HANDLE_VALUE)
        FindClose(find);
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

TEST(ReplaceW98, TheOldFileStaysUntilTheNewOneHasItsName)
{
    CScratchDir dir;
    const std::string source = dir.File("new.bin", "new");
    const std::string target = dir.File("old.bin", "old");
    const std::vector<std::string> both = {"new.bin", "old.bin"};
    {
        CHolder holder(CHolder::Open, target);
        ASSERT_TRUE(holder.IsHolding());
        SetLastError(0xdeadbeef);
        EXPECT_FALSE(ReplaceWithCopy(source, target)) << GetLastError();
        EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), GetLastError());
    }
    EXPECT_EQ("old", ReadFileBytes(target));
    EXPECT_EQ(both, Names(dir.Path()));

    EXPECT_TRUE(ReplaceWithCopy(source, target));
    EXPECT_EQ("new", ReadFileBytes(target));
    EXPECT_EQ(both, Names(dir.Path()));

    // A folder is never replaced.
    dir.Folder("folder");
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(ReplaceWithCopy(source, dir / "folder")) << GetLastError();
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
}

// As a kill leaves a swap between its two renames: the old file aside, the
// complete copy beside it; and an old file left once a swap was done. The
// next run that works in the folder gives the old file its name back and
// takes the rest away.
TEST(ReplaceW98, ASwapEndedHalfWayIsUndoneByTheNextRunInItsFolder)
{
    CEmptyPendingQueue queue;
    CScratchDir dir;
    const std::string target = dir / "old.bin";
    ASSERT_TRUE(WriteFileBytes(target + ".~orv", "old"));
    ASSERT_TRUE(WriteFileBytes(dir / "~orv12AB.tmp", "new"));
    const std::string done = dir.File("done.bin", "done new");
    ASSERT_TRUE(WriteFileBytes(done + ".~orv", "done old"));
    const std::string other = dir.File("other.txt", "o");

    EXPECT_EQ(0u, RunProgram(Quote(GetBinPath("orvline98.exe")) + " " + Quote(other)).exitCode);
    EXPECT_EQ("old", ReadFileBytes(target));
    EXPECT_EQ("done new", ReadFileBytes(done));
    EXPECT_EQ((std::vector<std::string>{"done.bin", "old.bin"}), Names(dir.Path()));
    EXPECT_EQ("", PendingQueueBytes());
}
