// orvline started as a child process: arguments, usage, messages and exit
// codes, with the exact bytes of each stream.
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

TEST(OrvlineArguments, WithoutArgumentsPrintsBannerAndUsage)
{
    EXPECT_TRUE(RunEnded(RunOrvline(""), 2, kUsage, ""));
}

TEST(OrvlineArguments, PathAfterAnOptionIsTheTarget)
{
    CScratchDir dir;
    const std::string file = dir.File("a.txt", "a");

    // Positions are absolute: the path is argument 2, the source stays empty.
    const SRunResult run = RunOrvline("/reboot " + Quote(file));
    EXPECT_EQ(2u, run.exitCode);
    EXPECT_EQ(kUsage, AfterBanner(run.out));
    EXPECT_TRUE(PathExists(file));
}

TEST(OrvlineArguments, MissingSource)
{
    CScratchDir dir;
    EXPECT_TRUE(RunEnded(RunOrvline(Quote(dir / "missing.txt") + " /x /logfile"), 4, "",
                         "\r\nLe repertoire source n'existe pas\r\n"));
}

TEST(OrvlineArguments, DeletesAFreeFile)
{
    CScratchDir dir;
    const std::string file = dir.File("free.txt", "x");
    EXPECT_TRUE(RunEnded(RunOrvline(Quote(file)), 0, kProcessed, ""));
    EXPECT_FALSE(PathExists(file));
}

TEST(OrvlineRestart, LockedFileIsDeletedAtRestart)
{
    ClearPendingQueue();
    CScratchDir dir;
    const std::string file = dir.File("locked.dll", "locked");
    {
        CHolder holder(CHolder::Open, file);
        ASSERT_TRUE(holder.IsHolding());
        const SRunResult run = RunOrvline(Quote(file));
        EXPECT_EQ(0u, run.exitCode) << run.err;
        EXPECT_EQ(kProcessed, AfterBanner(run.out));
    }
    std::vector<char> queue;
    ASSERT_TRUE(ReadPendingValue(queue));
    const std::vector<std::string> strings = SplitMultiString(queue);
    ASSERT_GE(strings.size(), 2u);
    EXPECT_EQ(NtPath(file), strings[0]);
    EXPECT_EQ("", strings[1]);
    EXPECT_TRUE(PathExists(file));

    ASSERT_TRUE(RestartPrefix());
    EXPECT_FALSE(PathExists(file));
    EXPECT_FALSE(ReadPendingValue(queue));
}
