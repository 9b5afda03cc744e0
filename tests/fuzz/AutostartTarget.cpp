// The command lines of Run values: the file and the arguments are text of
// the value (or what the search found for a name of it), the search is
// asked only for names that stand in the value, with the executable
// extensions in their order, and a value as our writer writes it reads
// back as the path and the arguments it was written from.
#include "tests/fuzz/Fuzz.h"

#include "engine/RegistryEntry.h"
#include "engine/Text.h"
#include "inspect/AutostartScan.h"

#include <windows.h>

#include <shlwapi.h>

#include <algorithm>

namespace
{

const std::vector<std::string> kPieces = {
    "\"", "\"\"", " ", "\t", "C:\\Program Files\\Tool\\tool.exe", "C:\\Tools\\agent", "tool", "tool.exe",
    "rundll32.exe", "shell32.dll,Control_RunDLL", "-min", "/silent", "/config c.ini", "%SystemRoot%\\x.exe",
    "\\\\srv\\share\\a.exe", ".", "..", "\\", "C:", "x.", ".exe", "a b.c d", "\x81\\", "\xE9t\xE9.exe",
};

// What the search was asked and what it answered, for one value.
struct SSearchLog
{
    std::vector<std::pair<std::string, std::string>> asked; // name, extension ("" for none)
    std::vector<std::string> answers;
};
SSearchLog* g_log = nullptr;

// A search that finds some names and not others, the same way each time.
// Its answers are full paths, or now and then a bare name.
bool FakeSearch(const std::string& name, const char* extension, std::string& found)
{
    const std::string ext = extension ? extension : "";
    g_log->asked.emplace_back(name, ext);
    unsigned long hash = 5381;
    for (const char c : name + ext)
        hash = hash * 33 + static_cast<unsigned char>(c);
    if (hash % 3 != 0)
        return false;
    found = hash % 7 == 0 ? "found" + ext : "C:\\Found\\" + name + ext;
    g_log->answers.push_back(found);
    return true;
}

bool Within(const std::string& part, const std::string& text)
{
    return text.find(part) != std::string::npos;
}

bool IsTrimmed(const std::string& text)
{
    return text.empty() || (!IsBlank(text.front()) && !IsBlank(text.back()));
}

void CheckResolution(const std::string& data, const SRunCommand& command, const SSearchLog& log)
{
    static const char* const kExtensions[] = {".cmd", ".bat", ".pif", ".scf", ".exe", ".com", ".scr"};
    std::size_t nextExtension = 0;
    for (const auto& asked : log.asked)
    {
        const bool answered = std::find(log.answers.begin(), log.answers.end(), asked.first) != log.answers.end();
        Expect(!asked.first.empty() && (Within(asked.first, data) || answered),
               "the search was asked for a name that is not in the value");
        if (asked.second.empty())
            continue;
        Expect(*::PathFindExtensionA(asked.first.c_str()) == '\0',
               "a name with an extension was searched with another one");
        // The extensions in their order, one search each.
        while (nextExtension < 7 && asked.second != kExtensions[nextExtension])
            ++nextExtension;
        Expect(nextExtension < 7, "an extension was searched out of its order, or twice");
        ++nextExtension;
    }
    const bool foundFile = std::find(log.answers.begin(), log.answers.end(), command.file) != log.answers.end();
    Expect(command.file.empty() || Within(command.file, data) || foundFile,
           "the file is neither text of the value nor what the search found");
    Expect(Within(command.arguments, data), "the arguments are not text of the value");
    Expect(IsTrimmed(command.file) || foundFile, "the file keeps a blank at an end");
    Expect(IsTrimmed(command.arguments), "the arguments keep a blank at an end");
    const std::string text = TrimBlanks(data);
    if (!text.empty() && text[0] == '"' && !foundFile)
        Expect(command.file.find('"') == std::string::npos, "a quoted file kept a quote");
    if (!foundFile)
        Expect(command.file.size() + command.arguments.size() <= text.size(),
               "the file and the arguments are longer than the value");
}

// A full path with an extension, as the operations give one, and arguments
// without blanks at their ends.
void CheckRoundTrip(CFuzzInput& input)
{
    static const std::vector<std::string> kNames = {"Tool", "Program Files", "a b", "x.y", "agent", "\xE9t\xE9",
                                                    "v1.2", "-", "%x%"};
    static const std::vector<std::string> kArguments = {"-min", "/silent", "/config c.ini", "a.b", "--x=1",
                                                        "\"quoted arg\"", "%1", "x\\y.z", "-f x.log"};
    std::string path = std::string(1, static_cast<char>('A' + input.Below(26))) + ":";
    const std::size_t parts = 1 + input.Below(3);
    for (std::size_t i = 0; i < parts; ++i)
        path += "\\" + input.Pick(kNames);
    path += input.OneIn(2) ? ".exe" : ".com";
    std::string arguments;
    const std::size_t count = input.Below(3);
    for (std::size_t i = 0; i < count; ++i)
        arguments += (i ? " " : "") + input.Pick(kArguments);
    const std::string data = MakeRunValueData(path, arguments);
    input.Show("written", data);
    SSearchLog log;
    g_log = &log;
    const SRunCommand command = ResolveRunCommand(data, FakeSearch);
    g_log = nullptr;
    Expect(command.file == path && command.arguments == arguments,
           "a value as our writer writes it does not read back as the path and arguments written");
}

} // namespace

void FuzzAutostartCommand(CFuzzInput& input)
{
    const CMultibyteCodePage codePage(input);
    const std::string data =
        input.OneIn(16) ? input.Mix(kPieces, input.Count(2000)) : input.Mix(kPieces, input.Below(8));
    input.Show("value", data);
    SSearchLog log;
    g_log = &log;
    const SRunCommand command = ResolveRunCommand(data.substr(0, data.find('\0')), FakeSearch);
    g_log = nullptr;
    CheckResolution(data.substr(0, data.find('\0')), command, log);
    CheckRoundTrip(input);
}
