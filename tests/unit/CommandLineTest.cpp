// Option matching and the texts of orvline, as plain functions.
#include "CommandLine.h"

#include <gtest/gtest.h>

TEST(FindOptionFlag, AbbreviationsAndValues)
{
    EXPECT_EQ(FlagPending, FindOptionFlag("p"));
    EXPECT_EQ(FlagPending, FindOptionFlag("PEND"));
    EXPECT_EQ(FlagPending, FindOptionFlag("pending:yes"));
    EXPECT_EQ(FlagLog, FindOptionFlag("l"));
    EXPECT_EQ(FlagLog, FindOptionFlag("LOG"));
    EXPECT_EQ(FlagLog, FindOptionFlag("lo:x"));
    EXPECT_EQ(FlagReboot, FindOptionFlag("r"));
    EXPECT_EQ(FlagDowngrade, FindOptionFlag("d"));
}

TEST(FindOptionFlag, NoMatch)
{
    EXPECT_EQ(0u, FindOptionFlag(""));
    EXPECT_EQ(0u, FindOptionFlag("pendingx"));
    EXPECT_EQ(0u, FindOptionFlag("logs"));
    EXPECT_EQ(0u, FindOptionFlag("logfile"));
    EXPECT_EQ(0u, FindOptionFlag("x"));
    // A colon at the start is part of the name, not a separator.
    EXPECT_EQ(0u, FindOptionFlag(":log"));
    EXPECT_EQ(0u, FindOptionFlag(":"));
}

TEST(ParseCommandLine, AbsolutePositions)
{
    const char* args[] = {"orvline", "/log", "C:\\x", "C:\\y"};
    const SCommandLine line = ParseCommandLine(4, args);
    EXPECT_EQ("", line.source);
    EXPECT_EQ("C:\\x", line.target);
    EXPECT_EQ(static_cast<DWORD>(FlagLog), line.flags);
    EXPECT_FALSE(HasWork(line));

    const char* three[] = {"orvline", "a", "b", "c", "-PEND", "/pending"};
    const SCommandLine full = ParseCommandLine(6, three);
    EXPECT_EQ("a", full.source);
    EXPECT_EQ("b", full.target);
    EXPECT_EQ(static_cast<DWORD>(FlagPending), full.flags);
    EXPECT_TRUE(HasWork(full));
}

TEST(FormatVersionText, FieldsAndBetaFlag)
{
    EXPECT_EQ("Version 1.01 (build 9.5)", FormatVersionText(0x00010001, 0x00090005, 0));
    EXPECT_EQ("Version 2.10 (build 0.0) [BETA]", FormatVersionText(0x0002000A, 0, VS_FF_PRERELEASE));
}

TEST(FormatSystemErrorLine, WithAndWithoutText)
{
    EXPECT_EQ("\nTraitement echoue: The file is in use. (32)\n",
              FormatSystemErrorLine("Traitement echoue", "The file is in use.\r\n", 32));
    EXPECT_EQ("\nTraitement echoue:  (12345)\n", FormatSystemErrorLine("Traitement echoue", "", 12345));
}
