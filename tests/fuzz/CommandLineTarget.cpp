// orvline's command line: options are matched by their table, a command line
// that parses as an operation names only paths that stand in it at their
// places, nothing is deleted unless every argument after the source is a
// known option, device names are known in all their spellings, and (on
// Windows) no spelling of the current folder or a folder above it passes
// for anything else.
#include "tests/fuzz/Fuzz.h"

#include "cli/CommandLine.h"
#include "tests/support/GuardedBytes.h"

#include <windows.h>

#if defined(_WIN32)
#include "engine/ObjectPath.h"
#include "engine/SystemServices.h"
#include "tests/fuzz/FuzzFolders.h"
#endif

#include <cctype>
#include <memory>

namespace
{

const std::vector<std::string> kArguments = {
    "/p", "-PEND", "/pending", "/pending:yes", "/l", "-LOG", "/lo:x", "/d", "-downgrade", "/r", "/REBOOT",
    "/h", "/holders", "-Hold:x", "/q", "/queue", "/x", "/logs", "/pendingx", "/queued", "/", "-", "/:",
    "/:p", "-:log", "//p", "/P:", "--log", "-\xE9", "/\x81", "a.txt", "C:\\x", "C:\\t\\dest", "..", ".",
    "-old.txt", "/t/sub/new.txt", "", " ", "COM1", "aux:", "x:stream", "*.txt", "\\\\?\\C:\\a",
};

// The options' names, in the order they are matched.
const char* const kOptionNames[] = {"pending", "reboot", "downgrade", "log", "holders", "queue"};
const DWORD kOptionFlags[] = {FlagPending, FlagReboot, FlagDowngrade, FlagLog, FlagHolders, FlagQueue};

bool IsOptionForm(const std::string& argument)
{
    return !argument.empty() && (argument[0] == '/' || argument[0] == '-');
}

// The flag an option's text (without its "/" or "-") stands for: the first
// option whose name it begins, letter case aside, up to a ":" after its
// first character.
DWORD ExpectedFlag(const std::string& option)
{
    std::string name = option.substr(0, option.find(':', 1));
    if (name.empty())
        return 0;
    for (std::size_t i = 0; i < 6; ++i)
    {
        const std::string full = kOptionNames[i];
        bool begins = name.size() <= full.size();
        for (std::size_t c = 0; begins && c < name.size(); ++c)
            begins = std::tolower(static_cast<unsigned char>(name[c])) == full[c];
        if (begins)
            return kOptionFlags[i];
    }
    return 0;
}

// The arguments, each a C string whose terminator is its memory's last
// byte, and the vector itself flush against a guard.
class CGuardedArguments
{
public:
    explicit CGuardedArguments(const std::vector<std::string>& arguments)
    {
        std::vector<const char*> pointers;
        for (const std::string& argument : arguments)
        {
            m_strings.emplace_back(new CGuardedBytes(argument.c_str(), argument.size() + 1));
            Expect(m_strings.back()->Data() != nullptr, "no memory for an argument");
            pointers.push_back(m_strings.back()->Data());
        }
        m_vector.reset(new CGuardedBytes(pointers.data(), pointers.size() * sizeof(char*)));
        Expect(m_vector->Data() != nullptr, "no memory for the arguments");
    }

    const char* const* Vector() const { return reinterpret_cast<const char* const*>(m_vector->Data()); }

private:
    std::vector<std::unique_ptr<CGuardedBytes>> m_strings;
    std::unique_ptr<CGuardedBytes> m_vector;
};

void CheckParse(const std::vector<std::string>& arguments)
{
    const CGuardedArguments guarded(arguments);
    const SCommandLine line = ParseCommandLine(static_cast<int>(arguments.size()), guarded.Vector());

    DWORD flags = 0;
    for (std::size_t i = 1; i < arguments.size(); ++i)
    {
        if (!IsOptionForm(arguments[i]))
            continue;
        const DWORD flag = FindOptionFlag(arguments[i].substr(1));
        Expect(flag == ExpectedFlag(arguments[i].substr(1)), "an option was matched against the wrong name");
        flags |= flag;
    }
    Expect(line.flags == flags, "the flags are not those of the options given");

    // The paths stand at their places: the source first, the target second.
    const bool sourceThere = arguments.size() > 1 && !arguments[1].empty() && !IsOptionForm(arguments[1]);
    Expect(line.source == (sourceThere ? arguments[1] : std::string()), "the source is not the first argument");
    const bool targetThere = arguments.size() > 2 && !arguments[2].empty() &&
                             !(IsOptionForm(arguments[2]) && FindOptionFlag(arguments[2].substr(1)) != 0);
    Expect(line.target == (targetThere ? arguments[2] : std::string()), "the target is not the second argument");

    if (!HasWork(line))
        return;
    for (std::size_t i = 1; i < arguments.size(); ++i)
    {
        Expect(!arguments[i].empty(), "a command line with an empty argument was taken");
        Expect(i < 3 || IsOptionForm(arguments[i]), "a third path was taken");
    }
    if (!line.source.empty() && line.target.empty())
    {
        for (std::size_t i = 2; i < arguments.size(); ++i)
            Expect(IsOptionForm(arguments[i]) && FindOptionFlag(arguments[i].substr(1)) != 0,
                   "a deletion was taken although an argument after the source is no known option");
    }
    Expect(line.target.empty() || !line.source.empty(), "a target was taken without a source");
}

// Device names in their spellings are devices; names that only look like
// them are not.
void CheckDevices(CFuzzInput& input)
{
    static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "COM1", "COM5", "COM9", "LPT1",
                                           "LPT9", "CONIN$", "CONOUT$"};
    static const char* const kLookAlikes[] = {"COM0", "COM10", "LPT0", "CONX", "NUL_", "AUXX", "CO",
                                              "CONIN", "CONOUT", " CON", "C0M1", "NULL", "LPT", "COM"};
    static const char* const kBefore[] = {"", "C:\\t\\", "sub\\", "\\\\.\\", "C:", "a/", "..\\"};
    static const char* const kAfter[] = {"", ".txt", ":", " ", "  .x", ":x", ".", ". .", ".a.b"};
    const bool device = input.OneIn(2);
    std::string name = device ? input.Pick(kDevices) : input.Pick(kLookAlikes);
    for (char& c : name)
    {
        if (input.OneIn(2))
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    const std::string path = std::string(input.Pick(kBefore)) + name + input.Pick(kAfter);
    input.Show("path", path);
    Expect(IsReservedDeviceName(path) == device,
           device ? "a device name was not known" : "a name was taken for a device's");
}

#if defined(_WIN32)
// The folders that hold the current folder, as the file system knows them.
struct SAncestors
{
    CFuzzFolders folders;
    std::vector<SObjectIdentity> holding;
    std::vector<SObjectIdentity> inside;

    SAncestors()
    {
        const std::string holders[] = {folders.Current(), folders.Box(), folders.Root(), "C:\\orvtest", "C:\\"};
        for (const std::string& path : holders)
        {
            SObjectIdentity identity;
            if (ReadIdentity(path, identity))
                holding.push_back(identity);
        }
        for (const char* name : {"a.txt", "sub", "sub\\c.txt", "long name.txt", "empty"})
        {
            SObjectIdentity identity;
            if (ReadIdentity(folders.Current() + "\\" + name, identity))
                inside.push_back(identity);
        }
        ::SetCurrentDirectoryA(folders.Current().c_str());
    }
    // Out of the folders before they go.
    ~SAncestors() { ::SetCurrentDirectoryA("C:\\"); }
};

bool Contains(const std::vector<SObjectIdentity>& identities, const SObjectIdentity& identity)
{
    for (const SObjectIdentity& known : identities)
    {
        if (known == identity)
            return true;
    }
    return false;
}

// Whatever the spelling, a folder that holds the current one is refused as
// the object of an operation, and what lies inside it is not.
void CheckCurrentFolder(CFuzzInput& input)
{
    static SAncestors ancestors;
    const std::string spelling = ancestors.folders.Spelling(input, false);
    input.Show("spelling", spelling);
    std::string full;
    SObjectIdentity identity;
    if (!GetFullPath(spelling, full) || !ReadIdentity(full, identity))
        return;
    input.Show("full path", full);
    if (Contains(ancestors.holding, identity))
        Expect(HoldsCurrentFolder(full), "a folder that holds the current folder passed for another");
    if (Contains(ancestors.inside, identity))
        Expect(!HoldsCurrentFolder(full), "something inside the current folder was taken for a folder that holds it");
}
#endif

} // namespace

void FuzzCommandLine(CFuzzInput& input)
{
    CMultibyteCodePage codePage(input);
    std::vector<std::string> arguments(1, input.OneIn(8) ? input.Mix(kArguments, 2) : "orvline.exe");
    const std::size_t count = input.Below(7);
    for (std::size_t i = 0; i < count; ++i)
        arguments.push_back(input.OneIn(5) ? input.Mix(kArguments, 1 + input.Below(3)) : input.Pick(kArguments));
    for (std::string& argument : arguments)
        argument = argument.substr(0, argument.find('\0'));
    for (std::size_t i = 0; i < arguments.size(); ++i)
        input.Show("argument", arguments[i]);
    CheckParse(arguments);
    CheckDevices(input);
#if defined(_WIN32)
    // Each check opens files: one input in eight.
    if (input.OneIn(8))
        CheckCurrentFolder(input);
#endif
}
