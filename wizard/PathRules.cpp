#include "wizard/PathRules.h"

#include "engine/ModuleVersion.h"
#include "engine/Text.h"

#include <shlwapi.h>

namespace
{

bool IsSeparator(char c)
{
    return c == '\\' || c == '/';
}

// A drive letter, its colon and a separator.
bool StartsWithDriveRoot(const std::string& path)
{
    const char letter = path.empty() ? '\0' : path[0];
    return path.size() >= 3 && ((letter >= 'A' && letter <= 'Z') || (letter >= 'a' && letter <= 'z')) &&
           path[1] == ':' && IsSeparator(path[2]);
}

} // namespace

bool IsFullPath(const std::string& path)
{
    if (StartsWithDriveRoot(path))
        return true;
    if (path.size() < 3 || !IsSeparator(path[0]) || !IsSeparator(path[1]) || IsSeparator(path[2]))
        return false;
    // After "\\?\" the system reads the rest as it stands: a drive root or
    // "UNC\" must follow.
    if (path.compare(0, 4, "\\\\?\\") == 0)
    {
        const std::string rest = path.substr(4);
        return (StartsWithDriveRoot(rest) && rest[2] == '\\') ||
               (rest.size() > 4 && IsSameTextPrefix(rest, "UNC\\", 4));
    }
    // A device ("\\.\COM1"), or "//?/", which the system reads as one.
    return !((path[2] == '.' || path[2] == '?') && (path.size() == 3 || IsSeparator(path[3])));
}

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
