#include "engine/ObjectPath.h"

#include "engine/Handles.h"
#include "engine/SystemServices.h"
#include "engine/Text.h"

#include <windows.h>

#include <shlwapi.h>

#include <cstring>
#include <vector>

namespace
{

// The volume and the file index of an object: the same for every path that
// opens it, whatever the spelling.
struct SObjectId
{
    DWORD volume = 0;
    DWORD indexHigh = 0;
    DWORD indexLow = 0;

    bool operator==(const SObjectId& other) const
    {
        return volume == other.volume && indexHigh == other.indexHigh && indexLow == other.indexLow;
    }
};

// NT family only: 9x/Me cannot open a folder and has no stable file index.
bool GetObjectId(const std::string& path, SObjectId& id)
{
    // A device name ("COM1", "C:\t\nul.txt") is never opened: opening a
    // device may already act on it.
    std::string full;
    if (!FitsPath(path) || !GetFullPath(path, full) || full.compare(0, 4, "\\\\.\\") == 0)
        return false;

    using GetInformationProc = BOOL(WINAPI*)(HANDLE, LPBY_HANDLE_FILE_INFORMATION);
    GetInformationProc getInformation = nullptr;
    if (!ResolveExport(::GetModuleHandleA("kernel32.dll"), "GetFileInformationByHandle", getInformation))
        return false;

    // Attributes only, every kind of sharing: an object in use opens too.
    CFileHandle file(::CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION information = {};
    if (!file || !getInformation(file.Get(), &information))
        return false;
    id.volume = information.dwVolumeSerialNumber;
    id.indexHigh = information.nFileIndexHigh;
    id.indexLow = information.nFileIndexLow;
    return true;
}

// The path without its last component; false at the root.
bool GetParent(const std::string& path, std::string& parent)
{
    char buffer[MAX_PATH] = {};
    if (!CopyToBuffer(path, buffer) || !::PathRemoveFileSpecA(buffer) || buffer[0] == '\0' ||
        std::strlen(buffer) >= path.size())
        return false;
    parent = buffer;
    return true;
}

// "\\?\C:\x" is "C:\x" and "\\?\UNC\server\x" is "\\server\x" once the
// system's own parsing (".", "..", "/", trailing dots) applies again.
std::string WithoutLongPrefix(const std::string& path)
{
    if (path.compare(0, 4, "\\\\?\\") != 0)
        return path;
    if (path.size() >= 8 && IsSameTextPrefix(path.substr(4, 4), "UNC\\", 4))
        return "\\\\" + path.substr(8);
    return path.substr(4);
}

// The volume of the path, or of its nearest folder that exists.
bool GetVolumeOf(std::string path, DWORD& volume)
{
    for (;;)
    {
        SObjectId id;
        if (GetObjectId(path, id))
        {
            volume = id.volume;
            return true;
        }
        if (!GetParent(path, path))
            return false;
    }
}

// The Windows folder, the system folder and, for a 32-bit program on 64-bit
// Windows, the other system folders, which it sees under other names.
std::vector<std::string> GetSystemFolders()
{
    std::vector<std::string> folders;
    char folder[MAX_PATH] = {};
    const UINT windows = ::GetWindowsDirectoryA(folder, MAX_PATH);
    if (windows != 0 && windows < MAX_PATH)
    {
        folders.push_back(folder);
        // The 64-bit system folder; only a 32-bit program on 64-bit Windows
        // can open it under this name.
        char native[MAX_PATH] = {};
        if (CopyToBuffer(folder, native) && ::PathAppendA(native, "Sysnative"))
            folders.push_back(native);
    }
    const UINT system = ::GetSystemDirectoryA(folder, MAX_PATH);
    if (system != 0 && system < MAX_PATH)
        folders.push_back(folder);

    // Older systems lack the call.
    using GetWow64FolderProc = UINT(WINAPI*)(LPSTR, UINT);
    GetWow64FolderProc getWow64Folder = nullptr;
    if (ResolveExport(::GetModuleHandleA("kernel32.dll"), "GetSystemWow64DirectoryA", getWow64Folder))
    {
        const UINT wow64 = getWow64Folder(folder, MAX_PATH);
        if (wow64 != 0 && wow64 < MAX_PATH)
            folders.push_back(folder);
    }
    return folders;
}

// The root of a fixed drive, reached under any name (a link to it, another
// letter). Floppy, disc and network drives are not woken for it.
bool IsFixedDriveRoot(const SObjectId& id)
{
    const DWORD drives = ::GetLogicalDrives();
    char root[] = "A:\\";
    for (int letter = 0; letter < 26; ++letter)
    {
        if (!(drives & (1u << letter)))
            continue;
        root[0] = static_cast<char>('A' + letter);
        const UINT type = ::GetDriveTypeA(root);
        SObjectId rootId;
        if ((type == DRIVE_FIXED || type == DRIVE_RAMDISK) && GetObjectId(root, rootId) && rootId == id)
            return true;
    }
    return false;
}

} // namespace

std::string GetCanonicalPath(const std::string& fullPath)
{
    std::string full;
    if (!GetFullPath(WithoutLongPrefix(fullPath), full))
        full = fullPath;
    char path[MAX_PATH] = {};
    if (!CopyToBuffer(full, path))
        return full;
    ::PathRemoveBackslashA(path);

    char longPath[MAX_PATH] = {};
    const DWORD length = ::GetLongPathNameA(path, longPath, MAX_PATH);
    if (length != 0 && length < MAX_PATH)
        return longPath;

    // Not there (yet): its folder in the long form, then the name as given.
    std::string parent;
    if (!GetParent(path, parent))
        return path;
    char joined[MAX_PATH] = {};
    if (!CopyToBuffer(GetCanonicalPath(parent), joined) ||
        !::PathAppendA(joined, ::PathFindFileNameA(path)))
        return path;
    return joined;
}

bool IsSameObject(const std::string& a, const std::string& b)
{
    const std::string canonicalA = GetCanonicalPath(a);
    const std::string canonicalB = GetCanonicalPath(b);
    if (IsSameText(canonicalA, canonicalB))
        return true;
    if (!IsWindowsNT())
        return false;

    SObjectId idA;
    SObjectId idB;
    const bool hasA = GetObjectId(a, idA);
    const bool hasB = GetObjectId(b, idB);
    if (hasA || hasB)
        return hasA && hasB && idA == idB;
    // Neither is there yet: the same name in the same folder.
    std::string parentA;
    std::string parentB;
    return FitsPath(canonicalA) && FitsPath(canonicalB) &&
           IsSameText(::PathFindFileNameA(canonicalA.c_str()), ::PathFindFileNameA(canonicalB.c_str())) &&
           GetParent(a, parentA) && GetParent(b, parentB) && IsSameObject(parentA, parentB);
}

bool LiesWithin(const std::string& path, const std::string& folder)
{
    for (std::string at = path;;)
    {
        if (IsSameObject(at, folder))
            return true;
        if (!GetParent(at, at))
            return false;
    }
}

bool IsSameVolume(const std::string& a, const std::string& b)
{
    DWORD volumeA = 0;
    DWORD volumeB = 0;
    if (IsWindowsNT() && GetVolumeOf(a, volumeA) && GetVolumeOf(b, volumeB))
        return volumeA == volumeB;
    const std::string canonicalA = GetCanonicalPath(a);
    const std::string canonicalB = GetCanonicalPath(b);
    return FitsPath(canonicalA) && FitsPath(canonicalB) &&
           ::PathIsSameRootA(canonicalA.c_str(), canonicalB.c_str());
}

bool HoldsSystemFolder(const std::string& path)
{
    const std::string canonical = GetCanonicalPath(path);
    if (FitsPath(canonical) && ::PathIsRootA(canonical.c_str()))
        return true;
    SObjectId id;
    const bool known = IsWindowsNT() && GetObjectId(path, id);
    if (known && IsFixedDriveRoot(id))
        return true;

    // Each system folder and every folder above it, each by what it is.
    for (std::string folder : GetSystemFolders())
    {
        do
        {
            SObjectId folderId;
            if (IsSameText(GetCanonicalPath(folder), canonical) ||
                (known && GetObjectId(folder, folderId) && folderId == id))
                return true;
        } while (GetParent(folder, folder));
    }
    return false;
}

bool HoldsCurrentFolder(const std::string& path)
{
    char current[MAX_PATH] = {};
    const DWORD length = ::GetCurrentDirectoryA(MAX_PATH, current);
    if (length == 0 || length >= MAX_PATH || LiesWithin(current, path))
        return true;
    // "D:" names the folder last current on that drive, which a console
    // keeps for each drive: that one and those above it count too.
    const std::string canonical = GetCanonicalPath(path);
    std::string remembered;
    return canonical.size() >= 2 && canonical[1] == ':' && GetFullPath(canonical.substr(0, 2), remembered) &&
           LiesWithin(remembered, path);
}

bool IsPlainName(const std::string& name)
{
    if (name.empty() || name == "." || name == ".." || name.back() == '.' || name.back() == ' ')
        return false;
    for (std::size_t i = 0; i < name.size(); ++i)
    {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        if (::IsDBCSLeadByte(c))
        {
            // A trail byte may be any byte, "\" included; a lead byte at the
            // end is half a character.
            if (++i == name.size())
                return false;
            continue;
        }
        if (c < 0x20 || std::strchr("\\/:*?\"<>|", c))
            return false;
    }
    return NameLength(name) <= 255;
}

std::string ResolveSysnative(const std::string& fullPath)
{
#if defined(_WIN64)
    // The alias is the system's only for 32-bit programs; this program
    // reads it as they meant it.
    char windows[MAX_PATH] = {};
    const UINT length = ::GetWindowsDirectoryA(windows, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return fullPath;
    for (std::size_t separator = fullPath.find_first_of("\\/"); separator != std::string::npos;
         separator = fullPath.find_first_of("\\/", separator + 1))
    {
        const std::size_t end = fullPath.find_first_of("\\/", separator + 1);
        const std::string component =
            fullPath.substr(separator + 1, end == std::string::npos ? std::string::npos : end - separator - 1);
        if (IsSameText(component, "Sysnative") && IsSameObject(fullPath.substr(0, separator), windows))
            return fullPath.substr(0, separator + 1) + "System32" +
                   (end == std::string::npos ? std::string() : fullPath.substr(end));
    }
#endif
    return fullPath;
}

namespace
{

// The first drive letter whose root is the same object as the root of the
// path's drive, in place of the path's own; the path as it is when no
// earlier letter has it. Floppy, disc and network drives are not woken.
std::string WithFirstDriveLetter(const std::string& path)
{
    SObjectId own;
    const std::string root = path.substr(0, 3);
    if (path.size() < 3 || path[1] != ':' || path[2] != '\\' || !GetObjectId(root, own))
        return path;
    const DWORD drives = ::GetLogicalDrives();
    char other[] = "A:\\";
    for (int letter = 0; letter < 26; ++letter)
    {
        other[0] = static_cast<char>('A' + letter);
        if (IsSameText(other, root))
            break;
        const UINT type = ::GetDriveTypeA(other);
        SObjectId id;
        if ((drives & (1u << letter)) && (type == DRIVE_FIXED || type == DRIVE_RAMDISK) &&
            GetObjectId(other, id) && id == own)
            return other[0] + path.substr(1);
    }
    return path;
}

} // namespace

std::string GetFinalPath(const std::string& path)
{
    std::string full;
    if (!IsWindowsNT() || !FitsPath(path) || !GetFullPath(path, full) ||
        full.compare(0, 4, "\\\\.\\") == 0)
        return std::string();
    CFileHandle file(::CreateFileA(full.c_str(), FILE_READ_ATTRIBUTES,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file)
        return std::string();

    using GetFinalPathProc = DWORD(WINAPI*)(HANDLE, LPSTR, DWORD, DWORD);
    GetFinalPathProc getFinalPath = nullptr;
    if (!ResolveExport(::GetModuleHandleA("kernel32.dll"), "GetFinalPathNameByHandleA", getFinalPath))
        return WithFirstDriveLetter(GetCanonicalPath(full));
    char named[MAX_PATH + 8] = {};
    const DWORD length = getFinalPath(file.Get(), named, sizeof(named), FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0 || length >= sizeof(named))
        return std::string();
    return WithoutLongPrefix(named);
}
