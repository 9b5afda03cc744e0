#include "cli/CommandLine.h"

#include "engine/ModuleVersion.h"
#include "engine/SystemServices.h"
#include "engine/Text.h"
#include "resources/orvline/resource.h"

#include <algorithm>

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
    // New options come after the others: every abbreviation keeps its option.
    {"holders", FlagHolders},
    {"queue", FlagQueue},
    {"release", FlagRelease},
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
    // An unknown option after the target's place: ignored beside a target,
    // but without one it may be the path meant as the target ("/t/new.txt",
    // "-new.txt"), and run, the move would become a deletion.
    bool unknownOption = false;
    for (int i = 1; i < argc; ++i)
    {
        const std::string argument = argv[i] ? argv[i] : "";
        const bool optionForm = !argument.empty() && (argument[0] == '/' || argument[0] == '-');
        const DWORD flag = optionForm ? FindOptionFlag(argument.substr(1)) : 0;
        if (argument.empty())
            line.refused = true; // an empty script variable names nothing
        else if (optionForm && flag != 0)
            line.flags |= flag;
        else if (i == 1)
        {
            if (!optionForm)
                line.source = argument;
        }
        else if (i == 2)
            line.target = argument;
        else if (optionForm)
            unknownOption = true;
        else
            line.refused = true;
    }
    if (line.source.empty() ? !line.target.empty() : line.target.empty() && unknownOption)
        line.refused = true;
    return line;
}

bool HasWork(const SCommandLine& line)
{
    return !line.refused && (!line.source.empty() || (line.flags & (FlagPending | FlagQueue)));
}

bool IsReservedDeviceName(const std::string& path)
{
    // The last component, without a drive ("C:aux" is "aux"). A colon
    // further on starts a stream, not a name: "com1:x" is still COM1.
    std::size_t start = 0;
    for (std::size_t i = 0; i < path.size(); i += CharLength(path, i))
    {
        if ((path[i] == '\\' || path[i] == '/') && CharLength(path, i) == 1)
            start = i + 1;
    }
    std::string name = path.substr(start);
    if (start == 0 && name.size() > 2 && name[1] == ':')
        name.erase(0, 2);
    // The system ignores what follows the first dot or colon, and blanks
    // before them.
    name.erase(std::min(name.find_first_of(".:"), name.size()));
    while (!name.empty() && name.back() == ' ')
        name.pop_back();

    static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (const char* device : kDevices)
    {
        if (IsSameText(name, device))
            return true;
    }
    if (name.size() == 4 && (IsSameTextPrefix(name, "COM", 3) || IsSameTextPrefix(name, "LPT", 3)))
        return name[3] >= '1' && name[3] <= '9';
    return false;
}

std::string FormatQueuedLine(const SQueuedOperation& operation)
{
    if (!operation.line.empty())
        return operation.line;
    std::string line;
    if (operation.target.empty())
        line = LoadResourceText(IDS_QUEUED_DELETE) + " " + operation.source;
    else if (operation.asStored)
        line = LoadResourceText(IDS_QUEUED_MOVE) + " " + operation.source + " " +
               LoadResourceText(IDS_QUEUED_TO) + " " + operation.target;
    else if (operation.replace && operation.targetExists)
        line = LoadResourceText(IDS_QUEUED_REPLACE) + " " + operation.target + " " +
               LoadResourceText(IDS_QUEUED_WITH) + " " + operation.source;
    else
        line = LoadResourceText(IsSameFolder(operation.source, operation.target) ? IDS_QUEUED_RENAME
                                                                                 : IDS_QUEUED_MOVE) +
               " " + operation.source + " " + LoadResourceText(IDS_QUEUED_TO) + " " + operation.target;
    if (!operation.sourceExists && !operation.asStored)
        line += " " + LoadResourceText(IDS_QUEUED_SOURCE_GONE);
    return line;
}

std::string FormatHolderLine(DWORD processId, const std::string& imagePath, const std::string& heldAs)
{
    return FormatText("%lu\t", static_cast<unsigned long>(processId)) + imagePath + "\t" + heldAs;
}

std::string FormatReleaseLine(DWORD processId, const std::string& imagePath, std::size_t count)
{
    return FormatHolderLine(processId, imagePath,
                            FormatText("%lu ", static_cast<unsigned long>(count)) + LoadResourceText(IDS_RELEASED));
}

std::string FormatVersionText(DWORD fileVersionMS, DWORD fileVersionLS, DWORD fileFlags)
{
    return FormatVersionLine("Version %d.%02d (build %d.%d)", fileVersionMS, fileVersionLS,
                             fileFlags);
}

std::string FormatSystemErrorLine(const std::string& message, const std::string& systemText,
                                  DWORD code)
{
    return "\n" + message + ": " + TrimBlanks(systemText) +
           FormatText(" (%d)\n", static_cast<int>(code));
}
