#include "PendingParser.h"

#include "Text.h"

#include <mbctype.h>

#include <cstring>

namespace
{

// Length of the character at `i`: two bytes for a lead byte followed by a
// valid trail byte of the current code page, otherwise one. Never reaches
// past `size`, so a lead byte cut off at the end stays a single byte.
std::size_t CharLength(const std::string& text, std::size_t i)
{
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (i + 1 < text.size() && _ismbblead(c) &&
        _ismbbtrail(static_cast<unsigned char>(text[i + 1])))
        return 2;
    return 1;
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

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

std::string StripQueuePrefix(const std::string& text)
{
    const std::size_t colon = FindChar(text, ':');
    if (colon == std::string::npos || colon == 0)
        return text;
    return text.substr(colon - 1);
}

std::vector<PendingPair> ParsePendingValue(const char* bytes, std::size_t size)
{
    std::vector<PendingPair> pairs;
    if (!bytes)
        return pairs;

    // Each string ends at its terminator or at the end of the data.
    const auto take = [&](std::size_t& cursor) {
        const void* end = std::memchr(bytes + cursor, '\0', size - cursor);
        const std::size_t length =
            end ? static_cast<std::size_t>(static_cast<const char*>(end) - (bytes + cursor))
                : size - cursor;
        std::string text(bytes + cursor, length);
        cursor += length + (end ? 1 : 0);
        return text;
    };

    std::size_t cursor = 0;
    while (cursor < size && bytes[cursor] != '\0')
    {
        std::string source = take(cursor);
        if (cursor >= size)
            break; // no target string after this source
        std::string target = take(cursor);
        pairs.emplace_back(StripQueuePrefix(source), StripQueuePrefix(target));
    }
    return pairs;
}

std::string TrimBlanks(const std::string& text)
{
    std::size_t begin = 0;
    std::size_t end = 0;
    bool seen = false;
    for (std::size_t i = 0; i < text.size();)
    {
        const std::size_t length = CharLength(text, i);
        if (length > 1 || !IsBlank(text[i]))
        {
            if (!seen)
                begin = i;
            seen = true;
            end = i + length;
        }
        i += length;
    }
    return seen ? text.substr(begin, end - begin) : std::string();
}

std::vector<PendingPair> ParseWinInitRename(const std::string& text)
{
    std::vector<PendingPair> pairs;
    bool inSection = false;
    std::size_t lineStart = 0;
    while (lineStart < text.size())
    {
        std::size_t lineEnd = text.find('\n', lineStart);
        if (lineEnd == std::string::npos)
            lineEnd = text.size();
        std::string line = text.substr(lineStart, lineEnd - lineStart);
        lineStart = lineEnd + 1;

        // A line is read as a C string: a zero byte ends it.
        const std::size_t zero = line.find('\0');
        if (zero != std::string::npos)
            line.erase(zero);
        line = TrimBlanks(line);

        if (!inSection)
        {
            inSection = IsSameText(line, "[rename]");
            continue;
        }
        if (line.empty() || line[0] == ';')
            continue;
        if (line[0] == '[')
            break;
        const std::size_t equals = FindChar(line, '=');
        if (equals == std::string::npos)
            continue;

        std::string target = TrimBlanks(line.substr(0, equals));
        std::string source = TrimBlanks(line.substr(equals + 1));
        if (source.empty())
            continue;
        if (IsDeleteTarget(target))
            target.clear();
        pairs.emplace_back(std::move(source), std::move(target));
    }
    return pairs;
}
