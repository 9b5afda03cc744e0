// The queue value's characters: the pairs of a value as the system writes
// it come back as written, the walk covers the value without a gap and
// stops only where the list ends, no entry spans a character it does not
// hold, the remover cuts out exactly the entries asked for, and a queued
// path is read as a drive path only when it is one. On Windows some values
// also go through the registry: of any type, odd lengths included.
#include "tests/fuzz/Fuzz.h"

#include "engine/PendingParser.h"
#include "engine/Text.h"
#include "tests/support/GuardedBytes.h"

#include <windows.h>

#if defined(_WIN32)
#include "cli/QueueListing.h"
#include "engine/RegistryQueue.h"
#include "tests/support/TestSupport.h"
#endif

#include <algorithm>
#include <cstring>
#include <set>

namespace
{

using CPairs = std::vector<std::pair<std::wstring, std::wstring>>;

const std::vector<std::wstring> kPieces = {
    L"\\??\\", L"!\\??\\", L"!", L"\\??\\C:\\", L"C:\\", L"c:", L"Z:\\", L":", L"\\", L"\\\\",
    L".", L"..", L"...", L" ", L"dir", L"a.tmp", L"F.DLL", L"\\??\\UNC\\srv\\share\\f", L"\\\\?\\",
    L"\\\\.\\", L"\\Device\\HarddiskVolume1\\", L"\x00E9t\x00E9", L"\x20AC", L"\xFF3C", L"\xFF0E\xFF0E",
    L"\xD800", L"CON", L"*", L"?", L"\"", L"<", L"|", L"\t",
};

const std::vector<std::wstring> kNames = {
    L"dir", L"a.tmp", L"F.DLL", L"x", L".", L"..", L"...", L"a.", L"a ", L" a", L"\x00E9t\x00E9",
    L"\x20AC", L"\xFF3C", L"\xFF0E", L"\xD800", L"CON", L"a:b", L"*", L"?", L"\t", L"~1", L"PROGRA~1",
};

// A path as a program would queue it: mostly the system's own form, built of
// parts that each mean something to the reader; never a terminator inside.
std::wstring QueuedPath(CFuzzInput& input)
{
    std::wstring path;
    if (input.OneIn(4))
        path = input.MixWide(kPieces, input.Count(64));
    else
    {
        if (input.OneIn(8))
            path += L'!';
        if (!input.OneIn(16))
            path += L"\\??\\";
        path += static_cast<wchar_t>(input.OneIn(16) ? L'1' : L'A' + input.Below(26));
        path += L":\\";
        const std::size_t parts = 1 + input.Below(5);
        for (std::size_t i = 0; i < parts; ++i)
        {
            if (i)
                path += L'\\';
            path += input.MixWide(kNames, 1 + input.Below(2), L"abcXYZ._ ");
        }
        if (input.OneIn(64))
            path += std::wstring(input.Below(400), L'x');
    }
    for (wchar_t& unit : path)
    {
        if (unit == L'\0')
            unit = L'x';
    }
    if (path.empty())
        path = L"x";
    return path;
}

// The value, and the pairs it was written from when it holds them all as
// written (empty otherwise).
std::wstring MakeValue(CFuzzInput& input, CPairs& written, bool& intact)
{
    written.clear();
    intact = false;
    switch (input.Below(8))
    {
    case 0:
        return input.MixWide(kPieces, input.Count(4096));
    case 1:
    {
        // One long string (now and then a huge one), with or without its
        // terminators.
        std::wstring value(input.Below(input.OneIn(8) ? 1u << 20 : 1u << 12), L'x');
        value.append(input.Below(3), L'\0');
        return value;
    }
    default:
        break;
    }
    std::wstring value;
    const std::size_t pairs = input.Count(20000);
    for (std::size_t i = 0; i < pairs; ++i)
    {
        const std::wstring source = QueuedPath(input);
        const std::wstring target = input.OneIn(2) ? std::wstring() : QueuedPath(input);
        written.emplace_back(source, target);
        value += source + L'\0' + target + L'\0';
    }
    // The empty string that ends the list, mostly; what follows it is not
    // part of the list.
    if (!input.OneIn(8))
    {
        value += L'\0';
        if (input.OneIn(4))
            value += input.MixWide(kPieces, input.Count(64));
    }
    intact = true;
    if (input.OneIn(3) && !value.empty())
    {
        intact = false;
        if (input.OneIn(2))
            value.resize(input.Below(value.size()));
        else
            value[input.Below(value.size())] = input.OneIn(2) ? L'\0' : L'x';
    }
    return value;
}

std::vector<SPendingEntry> ParseGuarded(const std::wstring& value, CGuardedBytes::EPlace place)
{
    CGuardedBytes guarded(value.data(), value.size() * sizeof(wchar_t), place);
    Expect(guarded.Data() != nullptr, "no memory for the value");
    return ParsePendingEntries(reinterpret_cast<const wchar_t*>(guarded.Data()), value.size());
}

CPairs PairsOf(const std::vector<SPendingEntry>& entries)
{
    CPairs pairs;
    for (const SPendingEntry& entry : entries)
        pairs.emplace_back(entry.source, entry.target);
    return pairs;
}

// The entries lie one after the other from the start, each exactly the
// characters of its two strings and their terminators (the last target's
// may be cut off by the end); after them the list ends.
void CheckWalk(const std::wstring& value, const std::vector<SPendingEntry>& entries)
{
    std::size_t at = 0;
    for (const SPendingEntry& entry : entries)
    {
        Expect(entry.begin == at, "an entry does not begin where the one before it ended");
        Expect(!entry.source.empty(), "an entry has an empty source");
        Expect(entry.source.find(L'\0') == std::wstring::npos && entry.target.find(L'\0') == std::wstring::npos,
               "an entry's string holds a terminator");
        const std::size_t s = entry.source.size();
        const std::size_t t = entry.target.size();
        Expect(entry.end <= value.size() && entry.end >= entry.begin + s + t + 1 &&
                   entry.end <= entry.begin + s + t + 2,
               "an entry's span is not its strings and their terminators");
        Expect(value.compare(entry.begin, s, entry.source) == 0 && value[entry.begin + s] == L'\0' &&
                   value.compare(entry.begin + s + 1, t, entry.target) == 0,
               "an entry is not the text it spans");
        if (entry.end == entry.begin + s + t + 2)
            Expect(value[entry.end - 1] == L'\0', "an entry spans a character after its target");
        else
            Expect(entry.end == value.size(), "an entry's target lost its terminator inside the value");
        at = entry.end;
    }
    const std::size_t zero = value.find(L'\0', at);
    Expect(at == value.size() || value[at] == L'\0' || zero == std::wstring::npos || zero == value.size() - 1,
           "the walk stopped before the end of the list");
}

// Cut out a few entries (and texts that are no entry): each text asked for
// takes away the first entry left with that text, every other character
// stays, and the rest reads as the entries left.
void CheckRemover(CFuzzInput& input, const std::wstring& value, const std::vector<SPendingEntry>& entries)
{
    std::vector<std::wstring> taken;
    for (const SPendingEntry& entry : entries)
    {
        if (input.OneIn(3))
            taken.push_back(value.substr(entry.begin, entry.end - entry.begin));
    }
    std::multiset<std::wstring> wanted(taken.begin(), taken.end());
    CPairs kept;
    std::size_t cut = 0;
    for (const SPendingEntry& entry : entries)
    {
        const auto found = wanted.find(value.substr(entry.begin, entry.end - entry.begin));
        if (found == wanted.end())
            kept.emplace_back(entry.source, entry.target);
        else
        {
            wanted.erase(found);
            cut += entry.end - entry.begin;
        }
    }
    // A text without a terminator is no entry's.
    if (input.OneIn(4))
    {
        std::wstring foreign = input.MixWide(kNames, 1 + input.Below(4), L"abc\\:");
        std::replace(foreign.begin(), foreign.end(), L'\0', L'x');
        taken.push_back(foreign);
    }
    const std::wstring rest = RemovePendingEntries(value, taken);
    Expect(rest.size() == value.size() - cut, "the remover cut out more or less than the entries asked for");
    Expect(PairsOf(ParsePendingEntries(rest.data(), rest.size())) == kept,
           "what the remover left does not read as the entries not asked for");
}

// A path that the restart carries out as written: a drive, its root, then
// components each a name of its own.
bool IsPlainDrivePath(const std::string& path)
{
    const char letter = static_cast<char>(path.empty() ? 0 : path[0] | 0x20);
    if (path.size() < 4 || path.size() >= MAX_PATH || letter < 'a' || letter > 'z' || path[1] != ':' ||
        path[2] != '\\')
        return false;
    std::size_t start = 3;
    for (;;)
    {
        std::size_t end = path.find('\\', start);
        if (end == std::string::npos)
            end = path.size();
        const std::string name = path.substr(start, end - start);
        if (name.empty() || name == "." || name == ".." || name.back() == '.' || name.back() == ' ')
            return false;
        for (const char c : name)
        {
            if (static_cast<unsigned char>(c) < 0x20 || std::strchr("/:*?\"<>|", c))
                return false;
        }
        if (end == path.size())
            return true;
        start = end + 1;
    }
}

void CheckQueuePath(const std::wstring& text, bool allowReplace, bool singleByte)
{
    bool replace = false;
    const std::wstring stripped = StripQueueMarks(text, allowReplace, replace);
    Expect(stripped.size() <= text.size() && text.compare(text.size() - stripped.size(), stripped.size(), stripped) == 0,
           "the text without its marks is no end of the text");
    const std::wstring marks = text.substr(0, text.size() - stripped.size());
    Expect(marks.empty() || marks == L"!" || marks == L"\\??\\" || marks == L"!\\??\\",
           "more than the marks were taken off a queued path");
    Expect(replace == (allowReplace && !text.empty() && text[0] == L'!'), "the replace mark was misread");

    std::string path;
    if (!ReadQueuePath(text, allowReplace, path, replace))
        return;
    Expect(text == (replace ? L"!" : L"") + std::wstring(L"\\??\\") + AnsiToWide(path),
           "a queued path was read as another text than the one stored");
    Expect(IsFullDrivePath(path), "a queued path read is no full drive path");
    // Only without lead bytes is every backslash a separator.
    if (singleByte)
        Expect(IsPlainDrivePath(path), "a queued path with an empty, \".\" or \"..\" component, or a name the "
                                       "system reads another way, was taken as a drive path");
}

#if defined(_WIN32)
// The store reads the value of any type through the registry: a list or
// bytes as its UTF-16 units (an odd last byte left over), any other type
// refused; the listing gives one line per entry.
void CheckStore(CFuzzInput& input, const std::wstring& value, std::size_t entries)
{
    static const DWORD kTypes[] = {REG_MULTI_SZ, REG_BINARY, REG_SZ, REG_EXPAND_SZ, REG_DWORD, REG_NONE, 0x4D2};
    const DWORD type = input.Pick(kTypes);
    std::string bytes(reinterpret_cast<const char*>(value.data()), value.size() * sizeof(wchar_t));
    if (input.OneIn(2))
        bytes += static_cast<char>(input.Next());
    Expect(WritePendingBytes(type, bytes), "the value could not be written");
    std::wstring text;
    ::SetLastError(0xdeadbeef);
    const bool read = ReadQueueText(text);
    const DWORD error = ::GetLastError();
    std::vector<SQueuedOperation> operations;
    const bool listed = ReadQueuedOperations(operations);
    ClearPendingQueue();
    if (type != REG_MULTI_SZ && type != REG_BINARY)
    {
        Expect(!read && error == ERROR_INVALID_DATA, "a value of another type was read as the queue");
        Expect(!listed, "a value of another type was listed");
        return;
    }
    input.Show("read", text);
    // A list may come back with one more terminator than it was written
    // with: Wine's registry adds one that is missing.
    Expect(read && (text == value || (type == REG_MULTI_SZ && text == value + L'\0')),
           "the store read other characters than the value holds (type " + std::to_string(type) + ", " +
               std::to_string(bytes.size()) + " bytes)");
    Expect(listed && operations.size() == entries, "the listing does not give one line per entry");
}
#endif

} // namespace

void FuzzQueueValue(CFuzzInput& input)
{
    CMultibyteCodePage codePage(input);
    CPairs written;
    bool intact = false;
    const std::wstring value = MakeValue(input, written, intact);
    input.Show("value", value);

    const std::vector<SPendingEntry> entries =
        ParseGuarded(value, input.OneIn(2) ? CGuardedBytes::AgainstEnd : CGuardedBytes::AgainstStart);
    CheckWalk(value, entries);
    if (intact)
        Expect(PairsOf(entries) == written, "the pairs read are not the pairs written");
    CheckRemover(input, value, entries);
    for (std::size_t i = 0; i < entries.size() && i < 64; ++i)
    {
        CheckQueuePath(entries[i].source, false, codePage.IsSingleByte());
        CheckQueuePath(entries[i].target, true, codePage.IsSingleByte());
    }
#if defined(_WIN32)
    if (value.size() <= 4096 && input.OneIn(16))
        CheckStore(input, value, entries.size());
#endif
}
