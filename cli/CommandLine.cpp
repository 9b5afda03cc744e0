#include "CommandLine.h"

#include "ModuleVersion.h"
#include "Text.h"

namespace
{

struct SOption
{
    const char* name;
    DWORD flag;
};

// Searched in this order: an abbreviation takes the first option it fits.
const SOption kOptions[] = {
    {"pending", FlagPending},
    {"reboot", FlagReboot},
    {"downgrade", FlagDowngrade},
    {"log", FlagLog},
};

} // namespace

DWORD FindOptionFlag(const std::string& option)
{
    // "name:value": none of the options takes a value; a leading ":" is part
    // of the name.
    std::string name = option;
    const std::size_t colon = name.find(':');
    if (colon != std::string::npos && colon > 0)
        name.erase(colon);
    if (name.empty())
        return 0;

    for (const SOption& entry : kOptions)
    {
        const std::string full = entry.name;
        if (name.size() > full.size())
            continue;
        if (IsSameTextPrefix(name, full, name.size()))
            return entry.flag;
    }
    return 0;
}

SCommandLine ParseCommandLine(int argc, const char* const* argv)
{
    SCommandLine line;
    for (int i = 1; i < argc; ++i)
    {
        const std::string argument = argv[i] ? argv[i] : "";
        if (!argument.empty() && (argument[0] == '/' || argument[0] == '-'))
            line.flags |= FindOptionFlag(argument.substr(1));
        else if (i == 1)
            line.source = argument;
        else if (i == 2)
            line.target = argument;
    }
    return line;
}

bool HasWork(const SCommandLine& line)
{
    return !line.source.empty() || (line.flags & FlagPending);
}

std::string FormatVersionText(DWORD fileVersionMS, DWORD fileVersionLS, DWORD fileFlags)
{
    return FormatVersionLine("Version %d.%02d (build %d.%d)", fileVersionMS, fileVersionLS,
                             fileFlags);
}

std::string FormatSystemErrorLine(const std::string& message, const std::string& systemText,
                                  DWORD code)
{
    return "\n" + message + ": " + TrimLineEnd(systemText) +
           FormatText(" (%d)\n", static_cast<int>(code));
}
