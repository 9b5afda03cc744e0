#include "inspect/NativePaths.h"

#include "engine/Handles.h"
#include "engine/Text.h"

#include <windows.h>

#include <cstring>

namespace
{

using QueryDosDeviceProc = DWORD(WINAPI*)(LPCSTR device, LPSTR target, DWORD size);

} // namespace

bool IsAtOrBelow(const std::string& path, const std::string& target)
{
    const std::string outer = WithoutTrailingBackslash(target);
    const std::string inner = WithoutTrailingBackslash(path);
    if (outer.empty() || inner.size() < outer.size() || !IsCharacterStart(inner, outer.size()) ||
        !IsSameTextPrefix(inner, outer, outer.size()))
        return false;
    if (inner.size() == outer.size())
        return true;
    const char next = inner[outer.size()];
    return next == '\\' || (next == ':' && outer.size() > 2);
}

std::vector<SDosDevice> ReadDosDevices()
{
    std::vector<SDosDevice> devices;
    QueryDosDeviceProc queryDosDevice = nullptr;
    const HMODULE kernel = ::GetModuleHandleA("KERNEL32.DLL");
    if (!kernel || !ResolveExport(kernel, "QueryDosDeviceA", queryDosDevice))
        return devices;
    const DWORD drives = ::GetLogicalDrives();
    for (int letter = 0; letter < 26; ++letter)
    {
        if (!(drives & (1u << letter)))
            continue;
        const char drive[3] = {static_cast<char>('A' + letter), ':', '\0'};
        char target[1024] = {};
        if (queryDosDevice(drive, target, sizeof(target) - 1) == 0)
            continue;
        target[sizeof(target) - 1] = '\0';
        devices.push_back({drive, target});
    }
    return devices;
}

std::string MapNativePath(const std::string& native, const std::vector<SDosDevice>& devices)
{
    // The names of drive letters themselves.
    static const char* const letterPrefixes[] = {"\\??\\", "\\GLOBAL??\\", "\\DosDevices\\"};
    for (const char* prefix : letterPrefixes)
    {
        if (!StartsWithNoCase(native, prefix))
            continue;
        const std::string rest = native.substr(std::strlen(prefix));
        if (StartsWithNoCase(rest, "UNC\\"))
            return rest.size() > 4 ? "\\\\" + rest.substr(4) : std::string();
        const char letter = rest.empty() ? '\0' : rest[0];
        const bool isLetter = (letter >= 'A' && letter <= 'Z') || (letter >= 'a' && letter <= 'z');
        // "\??\C:" alone is the volume, not a file on it.
        if (isLetter && rest.size() > 2 && rest[1] == ':' && rest[2] == '\\')
            return rest;
        return std::string();
    }

    // Network redirectors: "\Device\Mup\server\share\..." and the older
    // "\Device\LanmanRedirector\;X:0000...\server\share\...".
    static const char kMup[] = "\\Device\\Mup\\";
    static const char kLanman[] = "\\Device\\LanmanRedirector\\";
    for (const char* prefix : {kMup, kLanman})
    {
        if (!StartsWithNoCase(native, prefix))
            continue;
        std::string rest = native.substr(std::strlen(prefix));
        if (!rest.empty() && rest[0] == ';')
        {
            const std::size_t slash = rest.find('\\');
            rest = slash == std::string::npos ? std::string() : rest.substr(slash + 1);
        }
        return rest.empty() ? std::string() : "\\\\" + rest;
    }

    for (const SDosDevice& device : devices)
    {
        const std::size_t length = device.device.size();
        if (length == 0 || native.size() <= length + 1 || native[length] != '\\' ||
            !IsSameTextPrefix(native, device.device, length))
            continue;
        return device.drive + native.substr(length);
    }
    return std::string();
}

std::string WithFirstLetterOfItsVolume(const std::string& path, const std::vector<SDosDevice>& devices)
{
    if (path.size() < 2 || path[1] != ':')
        return path;
    for (const SDosDevice& device : devices)
    {
        if (IsSameTextPrefix(path, device.drive, 2))
        {
            const std::string mapped = MapNativePath(device.device + path.substr(2), devices);
            return mapped.empty() ? path : mapped;
        }
    }
    return path;
}

std::string NormalizeImagePath(const std::string& raw)
{
    struct SPrefix
    {
        const char* native;
        const char* plain;
    };
    static const SPrefix prefixes[] = {{"\\SystemRoot", "%SystemRoot%"}, {"\\??\\", ""}};

    std::string path = raw;
    for (const SPrefix& prefix : prefixes)
    {
        const std::size_t length = std::strlen(prefix.native);
        if (path.size() >= length && IsSameTextPrefix(path, prefix.native, length))
        {
            path = prefix.plain + path.substr(length);
            break;
        }
    }
    char expanded[MAX_PATH] = {};
    const DWORD length = ::ExpandEnvironmentStringsA(path.c_str(), expanded, MAX_PATH);
    // 0 is a failure; more than the buffer means the text did not fit: the
    // unexpanded text is kept either way.
    if (length != 0 && length <= MAX_PATH)
        path = expanded;

    // Trailing blanks and quotes first, then the leading ones.
    const char* const trimmed = " \"";
    const std::size_t last = path.find_last_not_of(trimmed);
    if (last == std::string::npos)
        return std::string();
    path.erase(last + 1);
    path.erase(0, path.find_first_not_of(trimmed));
    return path;
}
