// The Windows calls that the parsers make, as Windows makes them for the
// ANSI code page 1252, with the lead bytes of 932 (Shift-JIS) for the C
// runtime's multibyte rules when the fuzz runner asks for them.
#include "tests/fuzz/Fuzz.h"

#include <mbctype.h>
#include <mbstring.h>
#include <shlwapi.h>
#include <windows.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>
#include <string>

namespace
{

thread_local DWORD g_lastError = 0;
unsigned g_multibyteCodePage = 0;

// The characters of 0x80 to 0x9F in code page 1252 (the five it lacks are
// passed through, as Windows does).
const wchar_t kHigh1252[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

wchar_t ToWide(unsigned char c)
{
    return c >= 0x80 && c < 0xA0 ? kHigh1252[c - 0x80] : static_cast<wchar_t>(c);
}

// The byte of a character, or -1 when 1252 lacks it.
int ToByte(wchar_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return static_cast<int>(c);
    for (int i = 0; i < 32; ++i)
    {
        if (kHigh1252[i] == c)
            return 0x80 + i;
    }
    return -1;
}

bool IsLead(unsigned c)
{
    return g_multibyteCodePage == 932 && ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC));
}

bool IsTrail(unsigned c)
{
    return g_multibyteCodePage == 932 && ((c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC));
}

// The next character of a multibyte text: one byte, or a lead and its trail.
unsigned NextCharacter(const unsigned char*& text, std::size_t& left)
{
    unsigned c = *text++;
    --left;
    if (IsLead(c) && left > 0 && *text)
    {
        c = c << 8 | *text++;
        --left;
    }
    else if (c < 0x80)
        c = static_cast<unsigned>(std::tolower(static_cast<int>(c)));
    return c;
}

int CompareNoCase(const unsigned char* a, const unsigned char* b, std::size_t bytes)
{
    std::size_t leftA = bytes;
    std::size_t leftB = bytes;
    while (leftA > 0 && leftB > 0)
    {
        if (!*a || !*b)
            return *a == *b ? 0 : (*a ? 1 : -1);
        const unsigned ca = NextCharacter(a, leftA);
        const unsigned cb = NextCharacter(b, leftB);
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    return 0;
}

} // namespace

void SetMultibyteCodePage(unsigned codePage)
{
    g_multibyteCodePage = codePage;
}

DWORD GetLastError()
{
    return g_lastError;
}

void SetLastError(DWORD error)
{
    g_lastError = error;
}

// Code page 1252 for the process and the system alike; no later exports
// of kernel32 (the callers fall back as on Windows 2000).
UINT GetACP()
{
    return 1252;
}

UINT GetOEMCP()
{
    return 850;
}

BOOL IsValidCodePage(UINT codePage)
{
    return codePage == 1252 || codePage == 850;
}

int GetLocaleInfoA(DWORD, DWORD, LPSTR, int)
{
    return 0;
}

HMODULE GetModuleHandleA(LPCSTR)
{
    return nullptr;
}

FARPROC GetProcAddress(HMODULE, LPCSTR)
{
    return nullptr;
}

int MultiByteToWideChar(UINT, DWORD, LPCSTR text, int length, LPWSTR wide, int size)
{
    if (!text || length == 0)
        return 0;
    const std::size_t count = length < 0 ? std::strlen(text) + 1 : static_cast<std::size_t>(length);
    if (wide && size > 0)
    {
        if (count > static_cast<std::size_t>(size))
        {
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return 0;
        }
        for (std::size_t i = 0; i < count; ++i)
            wide[i] = ToWide(static_cast<unsigned char>(text[i]));
    }
    return static_cast<int>(count);
}

int WideCharToMultiByte(UINT, DWORD, LPCWSTR wide, int length, LPSTR text, int size, LPCSTR defaultChar,
                        LPBOOL usedDefault)
{
    if (!wide || length == 0)
        return 0;
    std::size_t count = 0;
    if (length < 0)
    {
        while (wide[count])
            ++count;
        ++count;
    }
    else
        count = static_cast<std::size_t>(length);
    if (usedDefault)
        *usedDefault = FALSE;
    if (text && size > 0)
    {
        if (count > static_cast<std::size_t>(size))
        {
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return 0;
        }
        for (std::size_t i = 0; i < count; ++i)
        {
            const int byte = ToByte(wide[i]);
            if (byte < 0 && usedDefault)
                *usedDefault = TRUE;
            text[i] = static_cast<char>(byte < 0 ? (defaultChar ? *defaultChar : '?') : byte);
        }
    }
    else if (usedDefault)
    {
        for (std::size_t i = 0; i < count; ++i)
        {
            if (ToByte(wide[i]) < 0)
                *usedDefault = TRUE;
        }
    }
    return static_cast<int>(count);
}

BOOL IsDBCSLeadByte(BYTE)
{
    // The ANSI code page, 1252, has no lead bytes.
    return FALSE;
}

DWORD ExpandEnvironmentStringsA(LPCSTR source, LPSTR destination, DWORD size)
{
    std::string expanded;
    for (const char* at = source; *at;)
    {
        const char* end = *at == '%' ? std::strchr(at + 1, '%') : nullptr;
        if (end && end > at + 1)
        {
            const std::string name(at + 1, end);
            if (const char* value = std::getenv(name.c_str()))
            {
                expanded += value;
                at = end + 1;
                continue;
            }
        }
        expanded += *at++;
    }
    const DWORD needed = static_cast<DWORD>(expanded.size() + 1);
    if (destination && needed <= size)
        std::memcpy(destination, expanded.c_str(), needed);
    return needed;
}

int _strnicmp(const char* a, const char* b, std::size_t count)
{
    return strncasecmp(a, b, count);
}

int _ismbblead(unsigned int c)
{
    return IsLead(c & 0xFF);
}

int _ismbbtrail(unsigned int c)
{
    return IsTrail(c & 0xFF);
}

int _mbsicmp(const unsigned char* a, const unsigned char* b)
{
    return CompareNoCase(a, b, static_cast<std::size_t>(-1));
}

int _mbsnbicmp(const unsigned char* a, const unsigned char* b, std::size_t bytes)
{
    return CompareNoCase(a, b, bytes);
}

LPSTR PathFindFileNameA(LPCSTR path)
{
    LPCSTR last = path;
    for (LPCSTR at = path; at && *at; ++at)
    {
        if ((*at == '\\' || *at == '/' || *at == ':') && at[1] && at[1] != '\\' && at[1] != '/')
            last = at + 1;
    }
    return const_cast<LPSTR>(last);
}

LPSTR PathFindExtensionA(LPCSTR path)
{
    LPCSTR point = nullptr;
    LPCSTR at = path;
    for (; at && *at; ++at)
    {
        if (*at == '\\' || *at == ' ')
            point = nullptr;
        else if (*at == '.')
            point = at;
    }
    return const_cast<LPSTR>(point ? point : at);
}

BOOL PathIsRelativeA(LPCSTR path)
{
    if (!path || !*path)
        return TRUE;
    return !(path[0] == '\\' || path[1] == ':');
}

BOOL PathIsFileSpecA(LPCSTR path)
{
    if (!path)
        return FALSE;
    for (; *path; ++path)
    {
        if (*path == '\\' || *path == ':')
            return FALSE;
    }
    return TRUE;
}

// Kept by the linker with the holder scan's worker classes, never called by
// a parser: a call would mean the layer is used beyond the parsers.
namespace
{

[[noreturn]] void NotInTheLayer(const char* name)
{
    std::fprintf(stderr, "%s is not part of the layer under the parsers\n", name);
    std::abort();
}

} // namespace

BOOL CloseHandle(HANDLE)
{
    NotInTheLayer("CloseHandle");
}

void DeleteCriticalSection(CRITICAL_SECTION*)
{
    NotInTheLayer("DeleteCriticalSection");
}

BOOL DuplicateHandle(HANDLE, HANDLE, HANDLE, HANDLE*, DWORD, BOOL, DWORD)
{
    NotInTheLayer("DuplicateHandle");
}

HANDLE GetCurrentProcess()
{
    NotInTheLayer("GetCurrentProcess");
}

DWORD GetFileType(HANDLE)
{
    NotInTheLayer("GetFileType");
}
