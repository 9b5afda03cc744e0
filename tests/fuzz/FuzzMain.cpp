// orvfuzz [COUNT] [--seed N] [--target NAME] [--every] [--list]: COUNT generated
// inputs (1000 by default) for each target, or for the one named; input k
// comes from seed N + k, so that the seed of a failure alone makes it
// again (COUNT 1 with that seed). One line a target:
// "NAME: N inputs, F failures", with the seed of the first failure and what
// it broke (--every: a line for each failure). Exit 0 when nothing failed, 1 otherwise, 2 for a wrong command
// line.
#include "tests/fuzz/Fuzz.h"
#include "tests/fuzz/FuzzPlatform.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <typeinfo>

namespace
{

// The run as it stands, for the report of a fault or a hang, which end the
// process in the middle of an input.
struct SRunState
{
    const SFuzzTarget* target = nullptr;
    unsigned long long inputs = 0;
    unsigned long long failures = 0;
    unsigned long long firstSeed = 0;
    std::string firstWhat;
    std::string firstShown;
    // The input under way.
    const CFuzzInput* input = nullptr;
    unsigned long long seed = 0;
    volatile unsigned long long started = 0; // 0: none under way
};

SRunState g_run;
bool g_every = false;

std::string ReportLine(const SRunState& run)
{
    const std::string name = run.target->name;
    std::string text = name + ": " + std::to_string(run.inputs) + " inputs, " +
                       std::to_string(run.failures) + " failures";
    if (run.failures)
    {
        const std::string seed = std::to_string(run.firstSeed);
        text += ", first at seed " + seed + "\n  " + run.firstWhat + "\n" + run.firstShown +
                "  again: ./orv fuzz 1 --seed " + seed + " --target \"" + name + "\"";
    }
    return text + "\n";
}

void Fail(const std::string& what)
{
    if (g_every)
        FuzzWrite("  seed " + std::to_string(g_run.seed) + ": " + what + "\n");
    if (g_run.failures++ == 0)
    {
        g_run.firstSeed = g_run.seed;
        g_run.firstWhat = what;
        g_run.firstShown = g_run.input ? g_run.input->Shown() : std::string();
    }
}

// A fault or a hang in the input under way: it counts, and the line is
// written before the process ends.
void ReportAndEnd(const char* what)
{
    g_run.started = 0;
    if (g_run.target)
    {
        ++g_run.inputs;
        const bool first = g_run.failures == 0;
        Fail(what);
        std::string report = ReportLine(g_run);
        // Not the first failure: the one that ended the run, too.
        if (!first)
            report += "  the run ended at seed " + std::to_string(g_run.seed) + ": " + what + "\n" +
                      (g_run.input ? g_run.input->Shown() : std::string());
        FuzzWrite(report);
    }
    else
    {
        FuzzWrite(std::string("orvfuzz: ") + what + "\n");
    }
    FuzzExit(1);
}

void CheckHang()
{
    const unsigned long long started = g_run.started;
    if (started && g_run.target && FuzzMilliseconds() - started > g_run.target->limitSeconds * 1000ull)
    {
        char what[96];
        std::snprintf(what, sizeof(what), "no answer after %u s", g_run.target->limitSeconds);
        ReportAndEnd(what);
    }
}

bool RunTarget(const SFuzzTarget& target, unsigned long long count, unsigned long long seed)
{
    g_run = SRunState();
    g_run.target = &target;
    for (unsigned long long k = 0; k < count; ++k)
    {
        CFuzzInput input(seed + k);
        g_run.input = &input;
        g_run.seed = seed + k;
        g_run.started = FuzzMilliseconds();
        try
        {
            target.run(input);
        }
        catch (const CFuzzFailure& failure)
        {
            Fail(failure.what());
        }
        catch (const std::exception& e)
        {
            Fail(std::string("threw ") + typeid(e).name() + ": " + e.what());
        }
        catch (...)
        {
            Fail("threw something that is no std::exception");
        }
        g_run.started = 0;
        g_run.input = nullptr;
        ++g_run.inputs;
    }
    FuzzWrite(ReportLine(g_run));
    const bool passed = g_run.failures == 0;
    g_run.target = nullptr;
    return passed;
}

bool ParseNumber(const char* text, unsigned long long& number)
{
    char* end = nullptr;
    number = std::strtoull(text, &end, 0);
    return *text && end && *end == '\0';
}

int Usage()
{
    FuzzWrite("usage: orvfuzz [COUNT] [--seed N] [--target NAME] [--every] [--list]\n");
    return 2;
}

} // namespace

const std::vector<SFuzzTarget>& FuzzTargets()
{
    static const std::vector<SFuzzTarget> targets = {
        {"queue value", FuzzQueueValue, 30},
        {"rename section", FuzzRenameSection, 30},
        {"command line", FuzzCommandLine, 30},
        {"autostart command", FuzzAutostartCommand, 30},
        {"handle table", FuzzHandleTable, 30},
        {"object name", FuzzObjectName, 30},
        {"native path", FuzzNativePath, 30},
        {"version resource", FuzzVersionResource, 30},
#if defined(_WIN32)
        // Each input a run of orvline.exe, which gives up after 120 s.
        {"orvline command lines", FuzzOrvlineCommandLines, 300},
#endif
    };
    return targets;
}

int main(int argc, char** argv)
{
    unsigned long long count = 1000;
    unsigned long long seed = 1;
    const char* only = nullptr;
    for (int i = 1; i < argc; ++i)
    {
        if (std::strcmp(argv[i], "--list") == 0)
        {
            for (const SFuzzTarget& target : FuzzTargets())
                FuzzWrite(std::string(target.name) + "\n");
            return 0;
        }
        if (std::strcmp(argv[i], "--every") == 0)
            g_every = true;
        else if (std::strcmp(argv[i], "--seed") == 0 && i + 1 < argc)
        {
            if (!ParseNumber(argv[++i], seed))
                return Usage();
        }
        else if (std::strcmp(argv[i], "--target") == 0 && i + 1 < argc)
            only = argv[++i];
        else if (!ParseNumber(argv[i], count))
            return Usage();
    }

    FuzzOnFault(ReportAndEnd);
    FuzzStartWatchdog(CheckHang);
    bool passed = true;
    bool found = false;
    for (const SFuzzTarget& target : FuzzTargets())
    {
        if (only && std::strcmp(only, target.name) != 0)
            continue;
        found = true;
        passed = RunTarget(target, count, seed) && passed;
    }
    if (!found)
    {
        FuzzWrite(std::string("orvfuzz: no target named \"") + (only ? only : "") + "\" (--list names them)\n");
        return 2;
    }
    return passed ? 0 : 1;
}
