// orvline.exe run on generated command lines, each from a current folder
// inside a throwaway folder with a canary folder beside it: nothing outside
// what the command line names is deleted, moved, changed or queued, the
// system's folders and the temporary folder stay as they are, a line
// refused changes nothing at all, and every exit code is one of the table's.
#include "tests/fuzz/Fuzz.h"
#include "tests/fuzz/FuzzFolders.h"

#include "cli/CommandLine.h"
#include "engine/SystemServices.h"
#include "tests/support/TestSupport.h"

#include "engine/Handles.h"

#include <windows.h>

#include <cctype>

namespace
{

// The exit codes of orvline's table.
constexpr DWORD kLastExitCode = 12;

std::string Lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// One argument as the C runtime reads it back from a command line.
std::string QuoteArgument(const std::string& argument)
{
    if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos)
        return argument;
    std::string quoted = "\"";
    std::size_t backslashes = 0;
    for (const char c : argument)
    {
        if (c == '\\')
        {
            ++backslashes;
            continue;
        }
        quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        quoted += c;
        backslashes = 0;
    }
    quoted.append(backslashes * 2, '\\');
    return quoted + "\"";
}

std::string Option(CFuzzInput& input)
{
    static const char* const kOptions[] = {"/log", "-l", "/LO:x", "/p", "/pending", "-PEND:yes", "/d", "/downgrade",
                                           "/h", "/holders", "/q", "-Queue", "/x", "/logs", "-old.txt", "/t/new.txt",
                                           "/", "-", "/:", "//l"};
    std::string option = input.Pick(kOptions);
    // No restart: a line that queues anything has failed already.
    if (option.size() > 1 && FindOptionFlag(option.substr(1)) == FlagReboot)
        option = "/log";
    return option;
}

std::vector<std::string> MakeArguments(CFuzzInput& input, const CFuzzFolders& folders)
{
    std::vector<std::string> arguments;
    const std::size_t count = 1 + input.Below(4);
    for (std::size_t i = 0; i < count; ++i)
    {
        // Mostly a source first and a target second; options anywhere.
        const bool path = i < 2 ? !input.OneIn(5) : input.OneIn(4);
        if (input.OneIn(40))
            arguments.push_back("");
        else
            arguments.push_back(path ? folders.Spelling(input, i == 0) : Option(input));
    }
    return arguments;
}

// What a line may change: an object and everything in it, as the folder it
// lies (or would lie) in and its name there.
struct SPlace
{
    SObjectIdentity folder;
    std::string name;
};

bool IsPlace(const SObjectIdentity& folder, const std::string& name, const std::vector<SPlace>& places)
{
    for (const SPlace& place : places)
    {
        if (place.folder == folder && Lower(place.name) == Lower(name))
            return true;
    }
    return false;
}

// Where a path of the command line leads, read from the current folder of
// the run: the object if it exists, and the folder it lies or would be made
// in, with its name there.
struct SNamed
{
    bool exists = false;
    bool folder = false;
    SObjectIdentity identity;
    bool placed = false;
    SPlace place;
};

SNamed Resolve(const std::string& argument)
{
    SNamed named;
    std::string full;
    if (argument.empty() || !GetFullPath(argument, full))
        return named;
    named.exists = ReadIdentity(full, named.identity);
    named.folder = named.exists && (::GetFileAttributesA(full.c_str()) & FILE_ATTRIBUTE_DIRECTORY);
    // An object that is there by its own name, not a short one.
    char longPath[MAX_PATH] = {};
    const DWORD length = named.exists ? ::GetLongPathNameA(full.c_str(), longPath, MAX_PATH) : 0;
    if (length > 0 && length < MAX_PATH)
        full = longPath;
    while (full.size() > 3 && full.back() == '\\')
        full.pop_back();
    const std::size_t slash = full.find_last_of('\\');
    named.placed = slash != std::string::npos && slash + 1 < full.size() &&
                   ReadIdentity(full.substr(0, slash + 1), named.place.folder);
    if (named.placed)
        named.place.name = full.substr(slash + 1);
    return named;
}

// The tree's entries as the places they are: a path is in a place when it
// or a folder holding it is.
bool InPlaces(const CTree& tree, const SObjectIdentity& root, const std::string& path,
              const std::vector<SPlace>& places)
{
    for (std::string at = path;;)
    {
        const std::size_t slash = at.find_last_of('\\');
        const std::string parent = slash == std::string::npos ? std::string() : at.substr(0, slash);
        const auto folder = tree.find(parent);
        const SObjectIdentity& identity = parent.empty() ? root : folder->second.identity;
        if ((parent.empty() || folder != tree.end()) &&
            IsPlace(identity, at.substr(slash == std::string::npos ? 0 : slash + 1), places))
            return true;
        if (parent.empty())
            return false;
        at = parent;
    }
}

std::string Describe(const CTree& tree, const std::string& path)
{
    const auto entry = tree.find(path);
    if (entry == tree.end())
        return "(none)";
    return entry->second.folder ? "folder" : "\"" + Escape(entry->second.bytes) + "\"";
}

void CheckTree(const std::string& root, const CTree& before, const CTree& after, const std::vector<SPlace>& places)
{
    SObjectIdentity rootIdentity;
    Expect(ReadIdentity(root, rootIdentity), "the scratch folder is gone");
    for (const auto& entry : before)
    {
        if (InPlaces(before, rootIdentity, entry.first, places))
            continue;
        const auto now = after.find(entry.first);
        Expect(now != after.end() && now->second.folder == entry.second.folder && now->second.bytes == entry.second.bytes,
               "not named, yet changed: " + entry.first + ", " + Describe(before, entry.first) + " before, " +
                   Describe(after, entry.first) + " after");
    }
    for (const auto& entry : after)
        Expect(before.count(entry.first) || InPlaces(after, rootIdentity, entry.first, places),
               "made where nothing was named: " + entry.first);
}

// A folder watched: its entries' names, sizes and attributes, not their
// times.
struct SWatched
{
    std::string path;
    SObjectIdentity identity;
    std::map<std::string, std::string> entries;
};

SWatched ReadFolder(std::string folder)
{
    SWatched watched;
    while (!folder.empty() && folder.back() == '\\')
        folder.pop_back();
    watched.path = folder;
    ReadIdentity(folder + "\\", watched.identity);
    WIN32_FIND_DATAA data = {};
    CFindHandle find(::FindFirstFileA((folder + "\\*").c_str(), &data));
    for (bool more = find.IsValid(); more; more = ::FindNextFileA(find.Get(), &data) != FALSE)
    {
        const bool isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        watched.entries[data.cFileName] =
            (isFolder ? "folder" : std::to_string(data.nFileSizeLow) + " bytes") + ", attributes " +
            std::to_string(data.dwFileAttributes);
    }
    return watched;
}

// The system's folders, the folder of the scratch folders and the
// temporary folder.
std::vector<SWatched> ReadWatched()
{
    char windows[MAX_PATH] = {};
    ::GetWindowsDirectoryA(windows, MAX_PATH);
    char system[MAX_PATH] = {};
    ::GetSystemDirectoryA(system, MAX_PATH);
    char temp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, temp);
    std::vector<SWatched> folders;
    for (const std::string& folder : {std::string("C:"), std::string(windows), std::string(system),
                                      std::string("C:\\orvtest"), std::string(temp)})
        folders.push_back(ReadFolder(folder));
    return folders;
}

// What a line made in a watched folder (what it named: a target there)
// goes again afterwards, so that each line finds what the one before found.
class CUndoWatched
{
public:
    explicit CUndoWatched(const std::vector<SWatched>& before) : m_before(before) {}
    ~CUndoWatched()
    {
        for (const SWatched& folder : m_before)
        {
            for (const auto& entry : ReadFolder(folder.path).entries)
            {
                if (!folder.entries.count(entry.first))
                    RemoveTree(folder.path + "\\" + entry.first);
            }
        }
    }
    CUndoWatched(const CUndoWatched&) = delete;
    CUndoWatched& operator=(const CUndoWatched&) = delete;

private:
    const std::vector<SWatched>& m_before;
};

void CheckWatched(const std::vector<SWatched>& before, const std::vector<SWatched>& after,
                  const std::vector<SPlace>& places)
{
    for (std::size_t i = 0; i < before.size(); ++i)
    {
        std::map<std::string, std::string> changed;
        for (const auto& entry : before[i].entries)
        {
            const auto now = after[i].entries.find(entry.first);
            if (now == after[i].entries.end() || now->second != entry.second)
                changed[entry.first] = entry.second;
        }
        for (const auto& entry : after[i].entries)
        {
            if (!before[i].entries.count(entry.first))
                changed[entry.first] = "(none)";
        }
        for (const auto& entry : changed)
            Expect(IsPlace(before[i].identity, entry.first, places),
                   "not named, yet changed: " + before[i].path + "\\" + entry.first + " (" + entry.second + " before)");
    }
}

// The objects that a command line may never delete or move.
std::vector<SObjectIdentity> NeverSources(const CFuzzFolders& folders)
{
    char windows[MAX_PATH] = {};
    ::GetWindowsDirectoryA(windows, MAX_PATH);
    char system[MAX_PATH] = {};
    ::GetSystemDirectoryA(system, MAX_PATH);
    std::vector<SObjectIdentity> never;
    for (const std::string& path : {folders.Current(), folders.Box(), folders.Root(), std::string("C:\\orvtest"),
                                    std::string("C:\\"), std::string(windows), std::string(system)})
    {
        SObjectIdentity identity;
        if (ReadIdentity(path, identity))
            never.push_back(identity);
    }
    return never;
}

} // namespace

void FuzzOrvlineCommandLines(CFuzzInput& input)
{
    // No entry of these lines is left for a later restart.
    static const CEmptyPendingQueue emptied;
    static const CFuzzFolders folders;
    folders.Fill();
    // Entries the restart would leave alone, or that name what is not there:
    // the queue must be the same after every line.
    const std::vector<std::string> queued = {"\\??\\" + folders.Canary() + "\\gone.txt", "",
                                             "\\??\\UNC\\srv\\share\\x", "",
                                             "\\??\\" + folders.Box() + "\\missing.txt",
                                             "\\??\\" + folders.Box() + "\\missing2.txt"};
    Expect(WritePendingUtf8(REG_MULTI_SZ, queued), "the queue could not be written");
    const std::string queueBefore = PendingQueueBytes();
    const std::vector<SWatched> watchedBefore = ReadWatched();
    const CUndoWatched undo(watchedBefore);
    const CTree before = ReadTree(folders.Root());

    const std::vector<std::string> arguments = MakeArguments(input, folders);
    std::string commandLine;
    for (const std::string& argument : arguments)
        commandLine += (commandLine.empty() ? "" : " ") + QuoteArgument(argument);
    input.Show("command line", commandLine);

    // What the command line names: its source and target as orvline reads
    // them, from the current folder of the run.
    std::vector<const char*> argv = {"orvline.exe"};
    for (const std::string& argument : arguments)
        argv.push_back(argument.c_str());
    const SCommandLine line = ParseCommandLine(static_cast<int>(argv.size()), argv.data());
    char previous[MAX_PATH] = {};
    ::GetCurrentDirectoryA(MAX_PATH, previous);
    ::SetCurrentDirectoryA(folders.Current().c_str());
    const SNamed source = Resolve(line.source);
    const SNamed target = Resolve(line.target);
    ::SetCurrentDirectoryA(previous);

    const SRunResult run = RunOrvlineIn(folders.Current(), commandLine);
    input.Show("exit code", std::to_string(run.exitCode));
    input.Show("errors", run.err);
    const CTree after = ReadTree(folders.Root());

    Expect(run.exitCode <= kLastExitCode, "an exit code that is not in the table (a crash, or no end)");
    // The current folder, every folder that holds it and the system's
    // folders are never a source, whatever the spelling.
    if (source.exists && !(line.flags & (FlagHolders | FlagQueue)) && HasWork(line))
    {
        static const std::vector<SObjectIdentity> kNever = NeverSources(folders);
        for (const SObjectIdentity& never : kNever)
            Expect(!(never == source.identity) || run.exitCode == 5,
                   "the current folder, a folder that holds it or a system folder was not refused as the source");
    }

    Expect(PendingQueueBytes() == queueBefore, "the queue changed");
    Expect(after.count("canary\\keep.txt") && after.count("canary\\inner\\k.txt"), "the canary is gone");

    // Only a line that ran may change anything, and only what it names:
    // the source and everything in it, the destination and everything in
    // it (the target, or the source's name in a target folder).
    std::vector<SPlace> places;
    const bool ran = (run.exitCode == 0 || run.exitCode == 10) && !(line.flags & (FlagHolders | FlagQueue));
    if (ran && source.exists && source.placed)
    {
        places.push_back(source.place);
        if (target.exists && target.folder)
            places.push_back({target.identity, source.place.name});
        else if (!line.target.empty() && target.placed)
            places.push_back(target.place);
    }
    CheckWatched(watchedBefore, ReadWatched(), places);
    CheckTree(folders.Root(), before, after, places);
}
