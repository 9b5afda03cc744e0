#include "ObjectPath.h"

#include "Handles.h"
#include "Text.h"

#include <windows.h>

#include <shlwapi.h>

std::string GetCanonicalPath(const std::string& fullPath)
{
    char path[MAX_PATH] = {};
    if (!CopyToBuffer(fullPath, path))
        return fullPath;
    ::PathRemoveBackslashA(path);

    char longPath[MAX_PATH] = {};
    const DWORD length = ::GetLongPathNameA(path, longPath, MAX_PATH);
    if (length != 0 && length < MAX_PATH)
        return longPath;

    // Not there (yet): its folder in the long form, then the name as given.
    char parent[MAX_PATH] = {};
    CopyToBuffer(path, parent);
    if (!::PathRemoveFileSpecA(parent) || IsSameText(parent, path))
        return path;
    char joined[MAX_PATH] = {};
    if (!CopyToBuffer(GetCanonicalPath(parent), joined) ||
        !::PathAppendA(joined, ::PathFindFileNameA(path)))
        return path;
    return joined;
}

bool IsSameObject(const std::string& a, const std::string& b)
{
    return IsSameText(GetCanonicalPath(a), GetCanonicalPath(b));
}

bool IsSystemFolder(const std::string& fullPath)
{
    const std::string path = GetCanonicalPath(fullPath);
    if (::PathIsRootA(path.c_str()))
        return true;
    char folder[MAX_PATH] = {};
    const UINT windows = ::GetWindowsDirectoryA(folder, MAX_PATH);
    if (windows != 0 && windows < MAX_PATH && IsSameObject(path, folder))
        return true;
    const UINT system = ::GetSystemDirectoryA(folder, MAX_PATH);
    if (system != 0 && system < MAX_PATH && IsSameObject(path, folder))
        return true;

    // A 32-bit program on 64-bit Windows sees its own system folder under
    // another name; older systems lack the call.
    using GetWow64FolderProc = UINT(WINAPI*)(LPSTR, UINT);
    GetWow64FolderProc getWow64Folder = nullptr;
    const UINT wow64 =
        ResolveExport(::GetModuleHandleA("kernel32.dll"), "GetSystemWow64DirectoryA", getWow64Folder)
            ? getWow64Folder(folder, MAX_PATH)
            : 0;
    return wow64 != 0 && wow64 < MAX_PATH && IsSameObject(path, folder);
}
