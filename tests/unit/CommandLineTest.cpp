// Option matching and the texts of orvline, as plain functions.
#include "cli/CommandLine.h"

#include <gtest/gtest.h>

#include <vector>

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
    // The options that only tell come last: no older abbreviation changes.
    EXPECT_EQ(FlagHolders, FindOptionFlag("h"));
    EXPECT_EQ(FlagHolders, FindOptionFlag("HOLD"));
    EXPECT_EQ(FlagHolders, FindOptionFlag("holders:x"));
    EXPECT_EQ(FlagQueue, FindOptionFlag("q"));
    EXPECT_EQ(FlagQueue, FindOptionFlag("Queue"));
    EXPECT_EQ(FlagReboot, FindOptionFlag("RE"));
    EXPECT_EQ(FlagRelease, FindOptionFlag("rel"));
    EXPECT_EQ(FlagRelease, FindOptionFlag("Release"));
}

TEST(FindOptionFlag, NoMatch)
{
    EXPECT_EQ(0u, FindOptionFlag(""));
    EXPECT_EQ(0u, FindOptionFlag("pendingx"));
    EXPECT_EQ(0u, FindOptionFlag("logs"));
    EXPECT_EQ(0u, FindOptionFlag("logfile"));
    EXPECT_EQ(0u, FindOptionFlag("x"));
    EXPECT_EQ(0u, FindOptionFlag("holdersx"));
    EXPECT_EQ(0u, FindOptionFlag("queued"));
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

    const char* both[] = {"orvline", "a", "b", "-PEND", "/pending", "/x"};
    const SCommandLine full = ParseCommandLine(6, both);
    EXPECT_EQ("a", full.source);
    EXPECT_EQ("b", full.target);
    EXPECT_EQ(static_cast<DWORD>(FlagPending), full.flags);
    EXPECT_TRUE(HasWork(full));
}

TEST(ParseCommandLine, NothingIsDeletedWhenATargetWasMeant)
{
    struct
    {
        std::vector<const char*> args;
        const char* target; // null: refused
    } cases[] = {
        // At the target's place, anything but a known option is the target.
        {{"a", "-old-report.txt"}, "-old-report.txt"},
        {{"a", "/logfile"}, "/logfile"},
        {{"a", "/log"}, ""},
        {{"a", "-p", "/r"}, ""},
        {{"a", "b", "/x"}, "b"},
        {{"/pending", "/log", "/x"}, ""},
        // An empty argument, a path after the two places, an unknown option
        // after a source alone, a target alone.
        {{"a", ""}, nullptr},
        {{"", "/pending"}, nullptr},
        {{"a", "/log", "C:\\t\\dest"}, nullptr},
        {{"a", "b", "c"}, nullptr},
        {{"a", "-l", "/t/sub/new.txt"}, nullptr},
        {{"/pending", "C:\\x"}, nullptr},
        {{"/reboot", "C:\\x"}, nullptr},
        // The queue is listed without a path; the holders need one.
        {{"/queue"}, ""},
        {{"/holders"}, nullptr},
        {{"a", "/holders"}, ""},
    };
    for (const auto& c : cases)
    {
        std::vector<const char*> argv{"orvline"};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        const SCommandLine line = ParseCommandLine(static_cast<int>(argv.size()), argv.data());
        EXPECT_EQ(c.target != nullptr, HasWork(line)) << argv.size() << " " << c.args.back();
        if (c.target)
        {
            EXPECT_EQ(c.target, line.target);
        }
    }
}

TEST(IsReservedDeviceName, AnySpelling)
{
    for (const char* name : {"COM1", "com9", "AUX", "nul", "Con", "PRN", "LPT1", "C:\\t\\COM1.txt",
                             "com1:", "C:\\t\\aux.tar.gz", "conout$", "C:\\t\\nul ", "C:nul",
                             // A stream of a device is the device.
                             "com5:x", "C:\\t\\nul:x", "sub/prn:x", "C:aux:x", "\\\\.\\conin$:x"})
        EXPECT_TRUE(IsReservedDeviceName(name)) << name;
    for (const char* name : {"COM0", "COM10", "LPT", "console.txt", "C:\\t\\nul\\x", "auxiliary",
                             "C:\\", "", "C:\\t\\a.txt", "C:\\t\\a:nul"})
        EXPECT_FALSE(IsReservedDeviceName(name)) << name;
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

TEST(FormatQueuedLine, InTheWordsOfTheStringTable)
{
    const auto op = [](const char* source, const char* target, bool replace, bool sourceExists,
                       bool targetExists, bool asStored = false, const char* line = "") {
        SQueuedOperation operation;
        operation.source = source;
        operation.target = target;
        operation.replace = replace;
        operation.sourceExists = sourceExists;
        operation.targetExists = targetExists;
        operation.asStored = asStored;
        operation.line = line;
        return operation;
    };
    struct
    {
        SQueuedOperation operation;
        const char* line;
    } cases[] = {
        {op("C:\\t\\a.tmp", "", false, true, false), "Supprimer C:\\t\\a.tmp"},
        {op("C:\\t\\a.tmp", "", false, false, false), "Supprimer C:\\t\\a.tmp (source absente)"},
        {op("C:\\t\\a.txt", "C:\\t\\b.txt", false, true, false), "Renommer C:\\t\\a.txt vers C:\\t\\b.txt"},
        {op("C:\\t\\a.txt", "C:\\u\\a.txt", true, true, false), "Deplacer C:\\t\\a.txt vers C:\\u\\a.txt"},
        // Only an entry that may replace, onto a file that is there.
        {op("C:\\t\\b.dll", "C:\\s\\c.dll", true, true, true), "Remplacer C:\\s\\c.dll avec C:\\t\\b.dll"},
        {op("C:\\t\\b.dll", "C:\\t\\c.dll", false, false, true),
         "Renommer C:\\t\\b.dll vers C:\\t\\c.dll (source absente)"},
        // No full drive path: as stored, nothing looked at.
        {op("\\??\\C:", "", false, false, false, true), "Supprimer \\??\\C:"},
        {op("\\??\\C:q\\c", "!\\??\\C:\\d", false, false, false, true),
         "Deplacer \\??\\C:q\\c vers !\\??\\C:\\d"},
        // Left alone by the restart: its text.
        {op("C:\\q\\b", "", false, true, false, false, "=C:\\q\\b"), "=C:\\q\\b"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.line, FormatQueuedLine(c.operation)) << c.line;
}
