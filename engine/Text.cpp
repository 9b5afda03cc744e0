#include "engine/Text.h"

#include "engine/CodePage.h"
#include "engine/Handles.h"

#include <mbctype.h>
#include <mbstring.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

bool CopyToBuffer(const std::string& text, char* buffer, std::size_t size)
{
    if (size == 0)
        return false;
    if (text.size() >= size || text.find('\0') != std::string::npos)
    {
        buffer[0] = '\0';
        return false;
    }
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return true;
}

bool FitsPath(const std::string& text)
{
    return text.size() < MAX_PATH;
}

bool IsAscii(const std::string& text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

namespace
{

// A text that reads back as itself: one from the system, not bytes that
// the conversion to UTF-16 would mend (two different ones would compare
// equal).
bool ReadsBack(const std::string& text, std::wstring& wide)
{
    wide = AnsiToWide(text);
    return WideToAnsi(wide.data(), static_cast<int>(wide.size())) == text;
}

// The length of the UTF-8 sequence that begins with `lead`: 0 for a byte
// that begins none.
std::size_t Utf8SequenceLength(unsigned char lead)
{
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        return 2;
    if (lead >= 0xE0 && lead <= 0xEF)
        return 3;
    if (lead >= 0xF0 && lead <= 0xF4)
        return 4;
    return 0;
}

} // namespace

bool IsSameText(const std::string& a, const std::string& b)
{
    if (a == b)
        return true;
    // UTF-8 beyond ASCII: the letters of every script fold as the file
    // system folds names; the C runtime folds the ASCII letters only.
    std::wstring wideA;
    std::wstring wideB;
    if (IsUtf8Process() && !(IsAscii(a) && IsAscii(b)) && ReadsBack(a, wideA) && ReadsBack(b, wideB))
        return IsSameWideText(wideA, wideB);
    return _mbsicmp(reinterpret_cast<const unsigned char*>(a.c_str()),
                    reinterpret_cast<const unsigned char*>(b.c_str())) == 0;
}

bool IsSameTextPrefix(const std::string& a, const std::string& b, std::size_t bytes)
{
    if (bytes == 0)
        return true;
    if (IsUtf8Process())
        return IsSameText(a.substr(0, bytes), b.substr(0, bytes));
    return _mbsnbicmp(reinterpret_cast<const unsigned char*>(a.c_str()),
                      reinterpret_cast<const unsigned char*>(b.c_str()), bytes) == 0;
}

bool IsSameWideText(const std::wstring& a, const std::wstring& b)
{
    // The system's own table of upper-case letters, the one it names files
    // by (Vista and later).
    using CompareOrdinalProc = int(WINAPI*)(LPCWSTR, int, LPCWSTR, int, BOOL);
    static const CompareOrdinalProc compareOrdinal = [] {
        CompareOrdinalProc proc = nullptr;
        ResolveExport(::GetModuleHandleA("kernel32.dll"), "CompareStringOrdinal", proc);
        return proc;
    }();
    if (!compareOrdinal)
        return a == b;
    return compareOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

bool IsCharacterStart(const std::string& text, std::size_t index)
{
    std::size_t i = 0;
    while (i < index)
        i += ::IsDBCSLeadByte(static_cast<BYTE>(text[i])) && i + 1 < text.size() ? 2 : 1;
    return i == index;
}

std::string WithoutTrailingBackslash(const std::string& path)
{
    if (path.size() > 1 && path.back() == '\\' && IsCharacterStart(path, path.size() - 1))
        return path.substr(0, path.size() - 1);
    return path;
}

bool StartsWithNoCase(const std::string& text, const char* prefix)
{
    const std::size_t length = std::strlen(prefix);
    return text.size() >= length && IsSameTextPrefix(text, prefix, length);
}

std::size_t CharLength(const std::string& text, std::size_t i)
{
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (IsUtf8Process())
    {
        const std::size_t length = Utf8SequenceLength(c);
        if (length < 2 || i + length > text.size())
            return 1;
        for (std::size_t k = 1; k < length; ++k)
        {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                return 1;
        }
        return length;
    }
    if (i + 1 < text.size() && _ismbblead(c) &&
        _ismbbtrail(static_cast<unsigned char>(text[i + 1])))
        return 2;
    return 1;
}

std::size_t NameLength(const std::string& name)
{
    // No code page takes fewer bytes than UTF-16 units.
    return name.size() <= 255 ? name.size() : AnsiToWide(name).size();
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
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

std::string FormatText(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string result;
    if (length > 0)
    {
        std::vector<char> buffer(static_cast<std::size_t>(length) + 1);
        std::vsnprintf(buffer.data(), buffer.size(), format, args);
        result.assign(buffer.data(), static_cast<std::size_t>(length));
    }
    va_end(args);
    return result;
}

std::string LoadResourceText(UINT id, HMODULE module)
{
    if (!module)
        module = ::GetModuleHandleA(nullptr);

    // A string table is stored in blocks of 16 counted UTF-16 strings; block
    // n holds ids 16 * (n - 1) to 16 * n - 1. Reading the block directly works
    // on every Windows family, unlike LoadStringW on 9x/Me.
    const HRSRC info = ::FindResourceA(module, MAKEINTRESOURCEA((id >> 4) + 1),
                                       MAKEINTRESOURCEA(6) /* RT_STRING */);
    if (!info)
        return std::string();
    const HGLOBAL data = ::LoadResource(module, info);
    const DWORD size = ::SizeofResource(module, info);
    const auto* p = static_cast<const WCHAR*>(data ? ::LockResource(data) : nullptr);
    if (!p)
        return std::string();

    const WCHAR* const end = p + size / sizeof(WCHAR);
    for (UINT i = 0; i < (id & 15u); ++i)
    {
        if (p >= end)
            return std::string();
        p += 1 + *p;
    }
    if (p >= end || *p == 0 || p + 1 + *p > end)
        return std::string();
    return WideToAnsi(p + 1, *p);
}

std::wstring AnsiToWide(const std::string& text)
{
    return FromCodePage(text, CP_ACP);
}

std::string WideToAnsi(const wchar_t* text, int length)
{
    if (!text)
        return std::string();
    if (length < 0)
        length = static_cast<int>(std::wcslen(text));
    return ToCodePage(std::wstring(text, static_cast<std::size_t>(length)), CP_ACP);
}

bool WideToAnsiExact(const std::wstring& text, std::string& ansi)
{
    return ToCodePageExactly(text, CP_ACP, ansi);
}

bool WideNameToAnsiExact(const std::wstring& name, std::string& ansi)
{
    return !name.empty() && WideToAnsiExact(name, ansi) && ansi.find('\0') == std::string::npos;
}

std::string ExpandLineBreaks(const std::string& text)
{
    std::string result;
    result.reserve(text.size() + text.size() / 16);
    for (const char c : text)
    {
        if (c == '\n')
            result += '\r';
        result += c;
    }
    return result;
}
