#include "tests/fuzz/Fuzz.h"

#include <cstdio>

namespace
{

// How much of each part a failure shows.
constexpr std::size_t kShownBytes = 600;

} // namespace

// splitmix64: every bit of the seed reaches every output.
std::uint64_t CFuzzInput::Next()
{
    std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

std::size_t CFuzzInput::Below(std::size_t bound)
{
    return bound == 0 ? 0 : static_cast<std::size_t>(Next() % bound);
}

std::size_t CFuzzInput::Count(std::size_t huge)
{
    switch (Below(16))
    {
    case 0:
        return Below(4097);
    case 1:
        return OneIn(8) ? Below(huge + 1) : Below(65);
    default:
        return Below(65) < 48 ? Below(8) : Below(65);
    }
}

std::string CFuzzInput::Bytes(std::size_t size)
{
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(Next());
    return bytes;
}

std::string CFuzzInput::Mix(const std::vector<std::string>& fragments, std::size_t pieces,
                            const std::string& alphabet)
{
    // Bytes that every parser of text reads in a way of its own.
    static const std::string kBytes("\0\t\n\r \"%.:;=[\\]!?*/\x1a\x81\x82\xA0\xE9\xFF", 25);
    const std::string& chars = alphabet.empty() ? kBytes : alphabet;
    std::string text;
    for (std::size_t i = 0; i < pieces; ++i)
    {
        const std::size_t kind = Below(10);
        if (kind < 6 && !fragments.empty())
            text += Pick(fragments);
        else if (kind < 9)
            text += chars[Below(chars.size())];
        else
            text += Bytes(1 + Below(8));
    }
    return text;
}

std::wstring CFuzzInput::MixWide(const std::vector<std::wstring>& fragments, std::size_t pieces,
                                 const std::wstring& alphabet)
{
    // Units that the queue's readers take apart: the terminator, the marks,
    // the separators, characters beyond the code page (a fullwidth
    // backslash, a lone surrogate).
    static const std::wstring kUnits(L"\0\0\\:?!. C\x00E9\x20AC\xFF3C\xD800\xDC00\xFFFF", 17);
    const std::wstring& units = alphabet.empty() ? kUnits : alphabet;
    std::wstring text;
    for (std::size_t i = 0; i < pieces; ++i)
    {
        const std::size_t kind = Below(10);
        if (kind < 6 && !fragments.empty())
            text += Pick(fragments);
        else if (kind < 9)
            text += units[Below(units.size())];
        else
            text += static_cast<wchar_t>(Next() & 0xFFFF);
    }
    return text;
}

void CFuzzInput::Show(const char* name, const std::string& bytes)
{
    m_shown.push_back({name, bytes.substr(0, kShownBytes), bytes.size(), false});
}

void CFuzzInput::Show(const char* name, const std::wstring& text)
{
    std::string units;
    for (std::size_t i = 0; i < text.size() && i < kShownBytes; ++i)
    {
        const unsigned long unit = static_cast<unsigned long>(text[i]);
        if (unit >= 0x20 && unit < 0x7F)
            units += Escape(std::string(1, static_cast<char>(unit)));
        else
        {
            char escaped[16];
            std::snprintf(escaped, sizeof(escaped), unit == 0 ? "\\0" : "\\u%04lX", unit);
            units += escaped;
        }
    }
    m_shown.push_back({name, units, text.size(), true});
}

std::string CFuzzInput::Shown() const
{
    std::string text;
    for (const SShown& part : m_shown)
    {
        text += "  ";
        text += part.name;
        char size[48];
        std::snprintf(size, sizeof(size), " (%lu %s): ", static_cast<unsigned long>(part.size),
                      part.wide ? "units" : "bytes");
        text += size;
        text += "\"" + (part.wide ? part.head : Escape(part.head)) + "\"";
        if (part.size > kShownBytes)
            text += "...";
        text += "\n";
    }
    return text;
}

std::string Escape(const std::string& bytes)
{
    std::string text;
    for (const char c : bytes)
    {
        const unsigned char u = static_cast<unsigned char>(c);
        switch (u)
        {
        case '\0':
            text += "\\0";
            break;
        case '\r':
            text += "\\r";
            break;
        case '\n':
            text += "\\n";
            break;
        case '\t':
            text += "\\t";
            break;
        case '"':
            text += "\\\"";
            break;
        case '\\':
            text += "\\\\";
            break;
        default:
            if (u >= 0x20 && u < 0x7F)
                text += c;
            else
            {
                char escaped[8];
                std::snprintf(escaped, sizeof(escaped), "\\x%02X", u);
                text += escaped;
            }
        }
    }
    return text;
}

CMultibyteCodePage::CMultibyteCodePage(CFuzzInput& input)
{
    // One input in eight sees Shift-JIS lead bytes: "\x81\\" is then one
    // character, and a path separator can be a trail byte.
    m_singleByte = !input.OneIn(8);
    SetMultibyteCodePage(m_singleByte ? 0 : 932);
}
