// The [rename] section of WinInit.Ini: the section lies where its lines
// are, each entry is one line of it with its two sides trimmed, the cleaner
// takes away exactly the lines asked for, and a line that our writer inserts
// is read back, after every entry that was there, in a buffer with no byte
// to spare.
#include "tests/fuzz/Fuzz.h"

#include "engine/PendingParser.h"
#include "engine/Scheduler.h"
#include "engine/Text.h"
#include "tests/support/GuardedBytes.h"

#include <windows.h>

#include <cstring>
#include <set>

namespace
{

using CPairs = std::vector<PendingPair>;

const std::vector<std::string> kLines = {
    "[rename]", "[Rename]", "  [RENAME]  ", "[rename] ; queued", "\xEF\xBB\xBF[rename]", "[renamex]",
    "[rename", "[other]", "  [CombineVxDs]", "\t[x]", "; comment", ";NUL=C:\\z", "NUL=C:\\A.TMP",
    "dirnul=C:\\TEMP\\OLD", "C:\\NEW.DLL=C:\\TEMP\\NEW.DLL", "=C:\\x.dll", "C:\\x.dll=", "a=b=c", " = ",
    "  NUL  =  C:\\b  ", "x=y", "\x81=\x81\\", "C:\\\x81\\=C:\\\x82\\x", "NUL=C:\\" + std::string(300, 'n'),
};

const std::vector<std::string> kBreaks = {"\r\n", "\n", "\r", "", "\n\n", "\x1a", std::string(1, '\0')};

std::string MakeText(CFuzzInput& input)
{
    if (input.OneIn(8))
        return input.Mix(kLines, input.Count(4096));
    std::string text;
    const std::size_t lines = input.Count(20000);
    for (std::size_t i = 0; i < lines; ++i)
    {
        text += input.OneIn(6) ? input.Mix(kLines, 1 + input.Below(3)) : input.Pick(kLines);
        text += input.OneIn(8) ? input.Pick(kBreaks) : "\r\n";
    }
    return text;
}

CPairs PairsOf(const std::vector<SWinInitEntry>& entries)
{
    CPairs pairs;
    for (const SWinInitEntry& entry : entries)
        pairs.emplace_back(entry.source, entry.target);
    return pairs;
}

// Whether byte `at` begins a line: the text's first, or one after a line feed.
bool BeginsLine(const std::string& text, std::size_t at)
{
    return at == 0 || text[at - 1] == '\n';
}

void CheckSection(const std::string& text, const SRenameSection& section)
{
    const std::size_t mark = text.find('\x1a');
    Expect(section.textEnd == (mark == std::string::npos ? text.size() : mark),
           "the text does not end at its end-of-text mark");
    if (section.body == std::string::npos)
        return;
    Expect(section.body <= section.bodyEnd && section.bodyEnd <= section.textEnd,
           "the section lies outside the text");
    Expect((section.body == section.textEnd || BeginsLine(text, section.body)) &&
               (section.bodyEnd == section.textEnd || BeginsLine(text, section.bodyEnd)),
           "the section does not begin and end at line starts");
}

bool IsTrimmed(const std::string& side)
{
    return side.empty() || (!IsBlank(side.front()) && !IsBlank(side.back()));
}

// Each entry a line of the section, one after the other, holding its two
// sides and the "=" between them.
void CheckEntries(const std::string& text, const SRenameSection& section,
                  const std::vector<SWinInitEntry>& entries, bool singleByte)
{
    std::size_t at = section.body;
    for (const SWinInitEntry& entry : entries)
    {
        Expect(section.body != std::string::npos, "entries were read without a section");
        Expect(entry.begin >= at && entry.begin < entry.end && entry.end <= section.bodyEnd,
               "an entry lies outside the section or before the one read before it");
        Expect(BeginsLine(text, entry.begin) && (entry.end == section.bodyEnd || text[entry.end - 1] == '\n') &&
                   text.find('\n', entry.begin) >= entry.end - 1,
               "an entry is not one whole line");
        const std::string line = text.substr(entry.begin, entry.end - entry.begin);
        Expect(!entry.source.empty(), "an entry has an empty source");
        Expect(entry.source.find('\0') == std::string::npos && entry.target.find('\0') == std::string::npos,
               "an entry's side holds a zero byte");
        Expect(line.find(entry.source) != std::string::npos && line.find(entry.target) != std::string::npos &&
                   line.find('=') != std::string::npos,
               "an entry's sides are not in its line");
        Expect(!IsSameText(entry.target, "NUL") && !IsSameText(entry.target, "DIRNUL"),
               "a deletion kept its NUL side");
        // A trail byte may look like a blank only where lead bytes exist.
        if (singleByte)
            Expect(IsTrimmed(entry.source) && IsTrimmed(entry.target), "an entry's side keeps a blank at an end");
        at = entry.end;
    }
}

// The lines asked for go, and only they: each takes away the first entry
// left with that line, and the rest reads as the entries left.
void CheckCleaner(CFuzzInput& input, const std::string& text, const std::vector<SWinInitEntry>& entries)
{
    std::vector<std::string> taken;
    for (const SWinInitEntry& entry : entries)
    {
        if (input.OneIn(3))
            taken.push_back(WinInitLineText(text, entry.begin, entry.end));
    }
    std::multiset<std::string> wanted(taken.begin(), taken.end());
    CPairs kept;
    for (const SWinInitEntry& entry : entries)
    {
        const auto found = wanted.find(WinInitLineText(text, entry.begin, entry.end));
        if (found == wanted.end())
            kept.emplace_back(entry.source, entry.target);
        else
            wanted.erase(found);
    }
    Expect(MarkWinInitLines(text, std::vector<std::string>()) == text, "the cleaner changed a text it was given no line for");
    const std::string rest = MarkWinInitLines(text, taken);
    Expect(PairsOf(ParseWinInitEntries(rest)) == kept, "what the cleaner left does not read as the entries not asked for");
}

// A line as our writer makes it: a full path, or NUL / DIRNUL, on the left
// (never holding "="), a full path on the right; names of the code page
// without control characters.
std::string WrittenPath(CFuzzInput& input)
{
    static const std::vector<std::string> kNames = {"WINDOWS", "TEMP", "A.TMP", "PROGRA~1", "x", "a b",
                                                    "\xE9t\xE9", "\x81\\", "\x82\x5C\x82", "[x]", ";x"};
    std::string path(1, static_cast<char>('A' + input.Below(26)));
    path += ":";
    const std::size_t parts = 1 + input.Below(4);
    for (std::size_t i = 0; i < parts; ++i)
        path += "\\" + input.Mix(kNames, 1 + input.Below(2), "abcXYZ._-;[]");
    // No control character is in a name, no blank ends a full path.
    for (char& c : path)
    {
        if (static_cast<unsigned char>(c) < 0x20)
            c = '_';
    }
    while (path.back() == ' ')
        path.pop_back();
    return path;
}

void CheckWriter(CFuzzInput& input, const std::string& text, const std::vector<SWinInitEntry>& entries,
                 CGuardedBytes::EPlace place)
{
    std::string left = input.OneIn(3) ? (input.OneIn(2) ? "NUL" : "DIRNUL") : WrittenPath(input);
    const std::string right = WrittenPath(input);
    if (left.find('=') != std::string::npos)
        return;
    const std::string line = MakeWinInitLine(left, right);
    input.Show("line", line);

    // Exactly the room the writer asks for after the text.
    const std::size_t room = text.size() + WinInitGrowthLimit(line.size());
    std::string buffer = text;
    buffer.resize(room, '\0');
    CGuardedBytes guarded(buffer.data(), buffer.size(), place, true);
    Expect(guarded.Data() != nullptr, "no memory for the text");
    const std::size_t size = InsertWinInitLine(guarded.Data(), text.size(), line);
    Expect(size <= room, "the writer used more room than it asked for");
    const std::string written(guarded.Data(), size);

    CPairs expected = PairsOf(entries);
    expected.emplace_back(right, left == "NUL" || left == "DIRNUL" ? std::string() : left);
    Expect(PairsOf(ParseWinInitEntries(written)) == expected,
           "the line the writer inserted is not read back after the entries that were there");
}

} // namespace

void FuzzRenameSection(CFuzzInput& input)
{
    CMultibyteCodePage codePage(input);
    const std::string text = MakeText(input);
    input.Show("text", text);
    const CGuardedBytes::EPlace place = input.OneIn(2) ? CGuardedBytes::AgainstEnd : CGuardedBytes::AgainstStart;

    SRenameSection section;
    {
        CGuardedBytes guarded(text, place);
        Expect(guarded.Data() != nullptr, "no memory for the text");
        section = FindRenameSection(guarded.Data(), text.size());
    }
    CheckSection(text, section);
    const std::vector<SWinInitEntry> entries = ParseWinInitEntries(text);
    CheckEntries(text, section, entries, codePage.IsSingleByte());
    CheckCleaner(input, text, entries);
    CheckWriter(input, text, entries, place);
}
