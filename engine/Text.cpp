#include "engine/Text.h"

#include <mbctype.h>
#include <mbstring.h>

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

bool IsSameText(const std::string& a, const std::string& b)
{
    return _mbsicmp(reinterpret_cast<const unsigned char*>(a.c_str()),
                    reinterpret_cast<const unsigned char*>(b.c_str())) == 0;
}

bool IsSameTextPrefix(const std::string& a, const std::string& b, std::size_t bytes)
{
    if (bytes == 0)
        return true;
    return _mbsnbicmp(reinterpret_cast<const unsigned char*>(a.c_str()),
                      reinterpret_cast<const unsigned char*>(b.c_str()), bytes) == 0;
}

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
    if (text.empty())
        return std::wstring();
    const int length = ::MultiByteToWideChar(CP_ACP, 0, text.data(),
                                             static_cast<int>(text.size()), nullptr, 0);
    if (length <= 0)
        return std::wstring();
    std::wstring result(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                          &result[0], length);
    return result;
}

std::string WideToAnsi(const wchar_t* text, int length)
{
    if (!text || length == 0)
        return std::string();
    if (length < 0)
        length = static_cast<int>(std::wcslen(text));
    if (length == 0)
        return std::string();
    const int size = ::WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return std::string();
    std::string result(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, text, length, &result[0], size, nullptr, nullptr);
    return result;
}

bool WideToAnsiExact(const std::wstring& text, std::string& ansi)
{
    ansi.clear();
    if (text.empty())
        return true;
    const int length = static_cast<int>(text.size());
    BOOL usedDefault = FALSE;
    const int size = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), length, nullptr, 0,
                                           nullptr, &usedDefault);
    if (size <= 0)
        return false;
    ansi.assign(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), length, &ansi[0], size, nullptr,
                          &usedDefault);
    // Read back: only a text that comes back unchanged is the same text.
    return !usedDefault && AnsiToWide(ansi) == text;
}

std::string AnsiToOem(const std::string& text)
{
    const std::wstring wide = AnsiToWide(text);
    if (wide.empty())
        return std::string();
    const int length = static_cast<int>(wide.size());
    const int size = ::WideCharToMultiByte(CP_OEMCP, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return std::string();
    std::string result(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_OEMCP, 0, wide.data(), length, &result[0], size, nullptr, nullptr);
    return result;
}

