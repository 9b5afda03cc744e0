#include "wizard/PathRules.h"

#include "engine/ModuleVersion.h"
#include "engine/Text.h"

#include <shlwapi.h>

std::string GetLastComponent(const std::string& path)
{
    if (!FitsPath(path))
        return std::string();
    return ::PathFindFileNameA(path.c_str());
}

std::string RemoveTrailingBackslashes(std::string path)
{
    while (!path.empty() && path.back() == '\\')
        path.pop_back();
    return path;
}

std::string GetParentFolder(const std::string& path)
{
    char folder[MAX_PATH] = {};
    if (!CopyToBuffer(path, folder))
        return std::string();
    ::PathRemoveFileSpecA(folder);
    return folder;
}

bool JoinPath(const std::string& folder, const std::string& name, std::string& joined)
{
    joined.clear();
    char path[MAX_PATH] = {};
    // PathAppendA needs room for the folder, a backslash and the name.
    if (!CopyToBuffer(folder, path) || name.size() >= MAX_PATH || folder.size() + name.size() + 2 > MAX_PATH ||
        !::PathAppendA(path, name.c_str()))
        return false;
    joined = path;
    return true;
}

bool HaveSameExtension(const std::string& a, const std::string& b)
{
    if (!FitsPath(a) || !FitsPath(b))
        return false;
    return IsSameText(::PathFindExtensionA(a.c_str()), ::PathFindExtensionA(b.c_str()));
}

bool HaveSameRoot(const std::string& a, const std::string& b)
{
    return FitsPath(a) && FitsPath(b) && ::PathIsSameRootA(a.c_str(), b.c_str());
}

std::string FormatFileVersion(DWORD fileVersionMS, DWORD fileVersionLS)
{
    return FormatVersionLine("%d.%d.%d.%d", fileVersionMS, fileVersionLS, 0);
}
