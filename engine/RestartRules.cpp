#include "engine/RestartRules.h"

#include "engine/ObjectPath.h"
#include "engine/Text.h"

#include <shlwapi.h>

namespace
{

// Every component of the path, the drive or share included, fits a name.
bool HasOverlongComponent(const std::string& path)
{
    std::size_t start = 0;
    for (std::size_t i = 0; i <= path.size(); ++i)
    {
        const unsigned char c = i < path.size() ? static_cast<unsigned char>(path[i]) : '\\';
        if (c == '\\' || c == '/')
        {
            if (NameLength(path.substr(start, i - start)) > 255)
                return true;
            start = i + 1;
            continue;
        }
        if (::IsDBCSLeadByte(c) && i + 1 < path.size())
            ++i;
    }
    return false;
}

} // namespace

DWORD CheckDelayedMove(const std::string& existing, const std::string& newPath)
{
    if (HasOverlongComponent(newPath))
        return ERROR_FILENAME_EXCED_RANGE;
    char folder[MAX_PATH] = {};
    if (!CopyToBuffer(newPath, folder))
        return ERROR_FILENAME_EXCED_RANGE;
    if (!IsPlainName(::PathFindFileNameA(folder)))
        return ERROR_INVALID_NAME;
    if (!::PathRemoveFileSpecA(folder) || !::PathIsDirectoryA(folder))
        return ERROR_PATH_NOT_FOUND;

    const DWORD source = ::GetFileAttributesA(existing.c_str());
    const DWORD target = ::GetFileAttributesA(newPath.c_str());
    const bool isFolder = source != INVALID_FILE_ATTRIBUTES && (source & FILE_ATTRIBUTE_DIRECTORY);
    // Another spelling of the object itself (a change of letter case) is
    // no other object in the way.
    if (target != INVALID_FILE_ATTRIBUTES && !IsSameObject(existing, newPath))
    {
        if (isFolder)
            return ERROR_ALREADY_EXISTS;
        if (target & FILE_ATTRIBUTE_DIRECTORY)
            return ERROR_ACCESS_DENIED;
    }
    if (isFolder && LiesWithin(folder, existing))
        return ERROR_INVALID_PARAMETER;
    return 0;
}
