#include "engine/PendingParser.h"

#include "engine/Scheduler.h"
#include "engine/Text.h"

#include <windows.h>

#include <mbctype.h>

#include <algorithm>
#include <cstring>
#include <unordered_map>

namespace
{

// First occurrence of a single-byte character, trail bytes skipped.
std::size_t FindChar(const std::string& text, char wanted)
{
    for (std::size_t i = 0; i < text.size(); i += CharLength(text, i))
    {
        if (text[i] == wanted && CharLength(text, i) == 1)
            return i;
    }
    return std::string::npos;
}

bool IsDeleteTarget(const std::string& target)
{
    return IsSameText(target, "NUL") || IsSameText(target, "DIRNUL");
}

} // namespace

std::vector<SPendingEntry> ParsePendingEntries(const wchar_t* text, std::size_t count)
{
    std::vector<SPendingEntry> entries;
    if (!text)
        return entries;

    // Each string ends at its terminator or at the end of the data.
    const auto take = [&](std::size_t& cursor) {
        std::size_t end = cursor;
        while (end < count && text[end] != L'\0')
            ++end;
        std::wstring string(text + cursor, end - cursor);
        cursor = end < count ? end + 1 : end;
        return string;
    };

    std::size_t cursor = 0;
    while (cursor < count && text[cursor] != L'\0')
    {
        SPendingEntry entry;
        entry.begin = cursor;
        entry.source = take(cursor);
        if (cursor >= count)
            break; // no target string after this source
        entry.target = take(cursor);
        entry.end = cursor;
        entries.push_back(std::move(entry));
    }
    return entries;
}

bool IsFullDrivePath(const std::string& path)
{
    const char drive = static_cast<char>(path.empty() ? 0 : path[0] | 0x20);
    if (path.size() < 4 || path.size() >= MAX_PATH || drive < 'a' || drive > 'z' ||
        path[1] != ':' || path[2] != '\\')
        return false;
    // Every component non-empty, not "." or "..", not ended by a dot or a
    // blank (the Win32 calls would drop them and reach another object), and
    // no character that the file system reads another way.
    std::size_t start = 3;
    for (std::size_t i = 3;;)
    {
        const bool atEnd = i >= path.size();
        if (atEnd || (path[i] == '\\' && CharLength(path, i) == 1))
        {
            if (i == start || path[i - 1] == '.' || path[i - 1] == ' ')
                return false;
            if (atEnd)
                return true;
            start = ++i;
            continue;
        }
        const unsigned char c = static_cast<unsigned char>(path[i]);
        if (CharLength(path, i) == 1 && (c < 0x20 || std::strchr("/:*?\"<>|", c)))
            return false;
        i += CharLength(path, i);
    }
}

std::wstring StripQueueMarks(const std::wstring& text, bool allowReplace, bool& replace)
{
    replace = allowReplace && !text.empty() && text[0] == L'!';
    std::size_t begin = replace ? 1 : 0;
    if (text.compare(begin, 4, L"\\??\\") == 0)
        begin += 4;
    return text.substr(begin);
}

bool ReadQueuePath(const std::wstring& text, bool allowReplace, std::string& path, bool& replace)
{
    const std::wstring wide = StripQueueMarks(text, allowReplace, replace);
    // Without its "\\??\\" the system would not read the entry as a path.
    if (text.size() - wide.size() != (replace ? 5u : 4u))
        return false;
    if (wide.empty() || wide.size() >= MAX_PATH)
        return false;

    // Only a path that the ANSI code page holds exactly is taken: a "?" put
    // in for a character it lacks would name another file.
    path = WideToAnsi(wide.c_str(), static_cast<int>(wide.size()));
    if (path.empty() || AnsiToWide(path) != wide)
        return false;
    return IsFullDrivePath(path);
}

std::vector<SWinInitEntry> ParseWinInitEntries(const std::string& text)
{
    std::vector<SWinInitEntry> entries;
    // The writer finds the section the same way: what it writes is read.
    const SRenameSection section = FindRenameSection(text.data(), text.size());
    if (section.body == std::string::npos)
        return entries;
    std::size_t lineStart = section.body;
    while (lineStart < section.bodyEnd)
    {
        std::size_t lineEnd = text.find('\n', lineStart);
        lineEnd = lineEnd >= section.bodyEnd ? section.bodyEnd : lineEnd + 1;
        std::string line = text.substr(lineStart, lineEnd - lineStart);
        const std::size_t begin = lineStart;
        lineStart = lineEnd;

        // A line is read as a C string: a zero byte ends it.
        const std::size_t zero = line.find('\0');
        if (zero != std::string::npos)
            line.erase(zero);
        line = TrimBlanks(line);
        if (line.empty() || line[0] == ';')
            continue;
        const std::size_t equals = FindChar(line, '=');
        if (equals == std::string::npos)
            continue;

        SWinInitEntry entry;
        entry.target = TrimBlanks(line.substr(0, equals));
        entry.source = TrimBlanks(line.substr(equals + 1));
        if (entry.source.empty())
            continue;
        entry.inert = entry.target.empty();
        if (IsDeleteTarget(entry.target))
            entry.target.clear();
        entry.begin = begin;
        entry.end = lineEnd;
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::vector<PendingPair> ParseWinInitRename(const std::string& text)
{
    std::vector<PendingPair> pairs;
    for (SWinInitEntry& entry : ParseWinInitEntries(text))
    {
        if (!entry.inert)
            pairs.emplace_back(std::move(entry.source), std::move(entry.target));
    }
    return pairs;
}

std::string WinInitLineText(const std::string& text, std::size_t begin, std::size_t end)
{
    std::string line = text.substr(begin, end - begin);
    if (!line.empty() && line.back() == '\n')
        line.pop_back();
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

namespace
{

// The texts still to be taken out, each as often as it was wanted: one
// look-up per entry keeps a queue of thousands of entries quick.
template <class String>
class CWantedTexts
{
public:
    explicit CWantedTexts(std::vector<String> texts)
    {
        for (String& text : texts)
            ++m_counts[std::move(text)];
    }

    bool TakeOut(const String& text)
    {
        const auto it = m_counts.find(text);
        if (it == m_counts.end() || it->second == 0)
            return false;
        --it->second;
        return true;
    }

private:
    std::unordered_map<String, std::size_t> m_counts;
};

} // namespace

std::string MarkWinInitLines(const std::string& text, std::vector<std::string> lines)
{
    CWantedTexts<std::string> wanted(std::move(lines));
    std::string marked = text;
    for (const SWinInitEntry& entry : ParseWinInitEntries(text))
    {
        const std::string line = WinInitLineText(text, entry.begin, entry.end);
        if (!wanted.TakeOut(line))
            continue;
        marked[entry.begin] = ';';
        // A trail byte is never "=": every "=" byte of the line is one.
        for (std::size_t at = line.find('='); at != std::string::npos; at = line.find('=', at + 1))
            marked[entry.begin + at] = ';';
    }
    return marked;
}

std::wstring RemovePendingEntries(const std::wstring& value, std::vector<std::wstring> entries)
{
    CWantedTexts<std::wstring> wanted(std::move(entries));
    std::wstring rest;
    std::size_t kept = 0;
    for (const SPendingEntry& entry : ParsePendingEntries(value.data(), value.size()))
    {
        if (!wanted.TakeOut(value.substr(entry.begin, entry.end - entry.begin)))
            continue;
        rest.append(value, kept, entry.begin - kept);
        kept = entry.end;
    }
    rest.append(value, kept, std::wstring::npos);
    return rest;
}
