#include "inspect/AutostartScan.h"

#include "engine/Handles.h"
#include "engine/SystemServices.h"
#include "engine/Text.h"
#include "resources/orvgui/resource.h"

#include <shlwapi.h>

#include <new>

namespace
{

const char kKeyBase[] = "Software\\Microsoft\\Windows\\CurrentVersion\\";

// Tried in this order for a file part without extension.
const char* const kExecutableExtensions[] = {".cmd", ".bat", ".pif", ".scf", ".exe", ".com", ".scr"};

// The blanks TrimBlanks takes off, so that no file keeps one at its end.
const char kBlanks[] = " \t\r\n\v\f";

// The text before the first blank, and what follows that blank.
SRunCommand SplitAtBlank(const std::string& text)
{
    const std::size_t blank = text.find_first_of(kBlanks);
    if (blank == std::string::npos)
        return {text, std::string()};
    return {text.substr(0, blank), TrimBlanks(text.substr(blank + 1))};
}

bool HasExtension(const std::string& path)
{
    return *::PathFindExtensionA(path.c_str()) != '\0';
}

} // namespace

bool SearchSystemPath(const std::string& name, const char* extension, std::string& found)
{
    char buffer[MAX_PATH] = {};
    const DWORD length = ::SearchPathA(nullptr, name.c_str(), extension, MAX_PATH, buffer, nullptr);
    if (length == 0 || length >= MAX_PATH)
        return false;
    found.assign(buffer, length);
    return true;
}

SRunCommand ResolveRunCommand(const std::string& data, PathSearch search)
{
    const std::string text = TrimBlanks(data);
    SRunCommand line;
    if (!text.empty() && text[0] == '"')
    {
        const std::size_t start = text.find_first_not_of('"');
        const std::size_t close = start == std::string::npos ? std::string::npos : text.find('"', start);
        if (start != std::string::npos)
            line.file = TrimBlanks(text.substr(start, close == std::string::npos ? std::string::npos
                                                                              : close - start));
        if (close != std::string::npos)
            line.arguments = TrimBlanks(text.substr(close + 1));
    }
    else if (::PathIsRelativeA(text.c_str()) || !HasExtension(text))
    {
        // A relative path, or an absolute one whose last component has no
        // extension: the file ends at the first blank.
        line = SplitAtBlank(text);
    }
    else
    {
        line.file = text;
    }

    std::string found;
    if (!line.file.empty() && !HasExtension(line.file))
    {
        for (const char* extension : kExecutableExtensions)
        {
            if (search(line.file, extension, found))
            {
                line.file = found;
                break;
            }
        }
    }
    if (!line.file.empty() && ::PathIsFileSpecA(line.file.c_str()) && search(line.file, nullptr, found))
        line.file = found;
    return line;
}

std::string GetAutostartKeyPath(const char* name)
{
    return std::string(kKeyBase) + name;
}

const SAutostartKey kAutostartKeys[4] = {
    {HKEY_CURRENT_USER, "Run", IDS_GROUP_CURRENT_USER},
    {HKEY_CURRENT_USER, "Runonce", IDS_GROUP_CURRENT_USER},
    {HKEY_LOCAL_MACHINE, "Run", IDS_GROUP_LOCAL_MACHINE},
    {HKEY_LOCAL_MACHINE, "Runonce", IDS_GROUP_LOCAL_MACHINE},
};

bool ReadAutostartKey(HKEY hive, const char* name,
                      const std::function<void(std::unique_ptr<CRegistryEntry>)>& add,
                      PathSearch search, REGSAM view)
{
    try
    {
        const std::string keyPath = GetAutostartKeyPath(name);
        CRegKey key;
        if (::RegOpenKeyExA(hive, keyPath.c_str(), 0, KEY_READ | view, key.Receive()) != ERROR_SUCCESS)
            return true;

        for (DWORD index = 0;; ++index)
        {
            char valueName[256] = {};
            DWORD nameLength = sizeof(valueName);
            if (::RegEnumValueA(key.Get(), index, valueName, &nameLength, nullptr, nullptr, nullptr,
                                nullptr) != ERROR_SUCCESS)
                break;

            std::string data;
            DWORD type = REG_NONE;
            if (ReadRegistryText(key.Get(), valueName, kMaxAutostartData, data, type) != ERROR_SUCCESS ||
                type != REG_SZ)
                continue;

            auto entry = std::make_unique<CRegistryEntry>(hive, keyPath, valueName, view);
            const SRunCommand line = ResolveRunCommand(data, search);
            entry->SetFilePath(line.file);
            entry->SetArguments(line.arguments);
            add(std::move(entry));
        }
        return true;
    }
    catch (const std::bad_alloc&)
    {
        ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
}

std::vector<REGSAM> GetAutostartViews(HKEY hive, const char* name)
{
    if (hive != HKEY_LOCAL_MACHINE || !Is64BitWindows())
        return {0};
    const std::string keyPath = GetAutostartKeyPath(name);
    CRegKey native;
    CRegKey redirected;
    if (::RegOpenKeyExA(hive, keyPath.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, native.Receive()) == ERROR_SUCCESS &&
        ::RegOpenKeyExA(hive, keyPath.c_str(), 0, KEY_READ | KEY_WOW64_32KEY, redirected.Receive()) ==
            ERROR_SUCCESS &&
        IsSameRegistryKey(native.Get(), redirected.Get()))
        return {KEY_WOW64_64KEY};
    return {KEY_WOW64_64KEY, KEY_WOW64_32KEY};
}

namespace
{

// The key's full name ("\REGISTRY\MACHINE\SOFTWARE\..."), as NtQueryKey
// gives it; empty when the system gives none.
std::wstring ReadKeyName(HKEY key)
{
    using NtQueryKeyProc = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
    NtQueryKeyProc queryKey = nullptr;
    if (!ResolveExport(::GetModuleHandleA("ntdll.dll"), "NtQueryKey", queryKey))
        return std::wstring();
    constexpr int kKeyNameInformation = 3;
    // A ULONG byte count, then that many bytes of UTF-16.
    ULONG buffer[1024] = {};
    ULONG size = 0;
    if (queryKey(key, kKeyNameInformation, buffer, sizeof(buffer), &size) != 0)
        return std::wstring();
    const ULONG length = buffer[0];
    if (length % sizeof(wchar_t) != 0 || length > sizeof(buffer) - sizeof(ULONG))
        return std::wstring();
    return std::wstring(reinterpret_cast<const wchar_t*>(buffer + 1), length / sizeof(wchar_t));
}

} // namespace

bool IsSameRegistryKey(HKEY a, HKEY b)
{
    const std::wstring first = ReadKeyName(a);
    const std::wstring second = ReadKeyName(b);
    return !first.empty() && !second.empty() && IsSameText(WideToAnsi(first.c_str()), WideToAnsi(second.c_str()));
}
