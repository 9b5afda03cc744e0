#include "engine/CodePage.h"

#include "engine/Handles.h"

namespace
{

// The code page a conversion really uses: CP_ACP and CP_OEMCP resolved, so
// that UTF-8 gets the flags it allows.
UINT ResolveCodePage(UINT codePage)
{
    if (codePage == CP_ACP)
        return ::GetACP();
    if (codePage == CP_OEMCP)
        return ::GetOEMCP();
    return codePage;
}

// One value of the system's code page key, or 0.
UINT ReadRegistryCodePage(const char* valueName)
{
    CRegKey key;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Nls\\CodePage", 0,
                        KEY_QUERY_VALUE, key.Receive()) != ERROR_SUCCESS)
        return 0;
    char value[16] = {};
    DWORD type = 0;
    DWORD size = sizeof(value) - 1;
    if (::RegQueryValueExA(key.Get(), valueName, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ || size >= sizeof(value))
        return 0;
    value[size] = '\0';
    return ParseCodePageValue(value);
}

UINT ReadLocaleCodePage(LCTYPE type)
{
    char value[16] = {};
    const int length = ::GetLocaleInfoA(LOCALE_SYSTEM_DEFAULT, type, value, sizeof(value));
    return length > 0 ? ParseCodePageValue(value) : 0;
}

// The system's code page behind the process's own: read once, it does not
// change while the program runs.
UINT ReadSystemCodePage(const char* valueName, LCTYPE localeType, UINT own)
{
    UINT codePage = ReadRegistryCodePage(valueName);
    if (codePage == 0)
        codePage = ReadLocaleCodePage(localeType);
    return codePage != 0 ? codePage : own;
}

} // namespace

bool IsUtf8Process()
{
    return ::GetACP() == CP_UTF8;
}

UINT GetSystemAnsiCodePage()
{
    if (!IsUtf8Process())
        return ::GetACP();
    static const UINT codePage = ReadSystemCodePage("ACP", LOCALE_IDEFAULTANSICODEPAGE, ::GetACP());
    return codePage;
}

UINT GetSystemOemCodePage()
{
    if (!IsUtf8Process())
        return ::GetOEMCP();
    static const UINT codePage = ReadSystemCodePage("OEMCP", LOCALE_IDEFAULTCODEPAGE, ::GetOEMCP());
    return codePage;
}

UINT ParseCodePageValue(const std::string& value)
{
    if (value.empty() || value.size() > 5)
        return 0;
    UINT codePage = 0;
    for (const char c : value)
    {
        if (c < '0' || c > '9')
            return 0;
        codePage = codePage * 10 + static_cast<UINT>(c - '0');
    }
    return codePage != 0 && codePage <= 0xFFFF && ::IsValidCodePage(codePage) ? codePage : 0;
}

bool ToCodePageExactly(const std::wstring& text, UINT codePage, std::string& bytes)
{
    bytes.clear();
    if (text.empty())
        return true;
    const UINT resolved = ResolveCodePage(codePage);
    const int length = static_cast<int>(text.size());
    // UTF-8 takes no flags and no default character; it lacks only lone
    // surrogates, which the read-back below finds.
    DWORD flags = resolved == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL* const used = resolved == CP_UTF8 ? nullptr : &usedDefault;
    int size = ::WideCharToMultiByte(resolved, flags, text.data(), length, nullptr, 0, nullptr, used);
    if (size == 0 && flags != 0 && ::GetLastError() == ERROR_INVALID_FLAGS)
    {
        flags = 0; // NT 4, and code pages that take no flags
        size = ::WideCharToMultiByte(resolved, flags, text.data(), length, nullptr, 0, nullptr, used);
    }
    if (size <= 0)
        return false;
    bytes.assign(static_cast<std::size_t>(size), '\0');
    usedDefault = FALSE;
    if (::WideCharToMultiByte(resolved, flags, text.data(), length, &bytes[0], size, nullptr, used) != size)
        return false;
    // Read back: only a text that comes back unchanged is the same text.
    return !usedDefault && FromCodePage(bytes, resolved) == text;
}

std::string ToCodePage(const std::wstring& text, UINT codePage)
{
    if (text.empty())
        return std::string();
    const int length = static_cast<int>(text.size());
    const int size = ::WideCharToMultiByte(codePage, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return std::string();
    std::string result(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(codePage, 0, text.data(), length, &result[0], size, nullptr, nullptr);
    return result;
}

std::wstring FromCodePage(const std::string& text, UINT codePage)
{
    if (text.empty())
        return std::wstring();
    const int size = static_cast<int>(text.size());
    const int length = ::MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
    if (length <= 0)
        return std::wstring();
    std::wstring result(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(codePage, 0, text.data(), size, &result[0], length);
    return result;
}

bool FitCodePage(const std::vector<std::wstring>& names, UINT codePage)
{
    std::string exact;
    for (const std::wstring& name : names)
    {
        if (!ToCodePageExactly(name, codePage, exact))
            return false;
    }
    return true;
}

std::string EncodeNamedText(const std::wstring& text, const std::vector<std::wstring>& names, UINT codePage,
                            bool& utf8)
{
    utf8 = !FitCodePage(names, codePage);
    return ToCodePage(text, utf8 ? CP_UTF8 : codePage);
}
