#include "FileReplace.h"

#include "SystemServices.h"
#include "Text.h"

#include <windows.h>

#include <shlwapi.h>

namespace
{

// A new, empty file of a name of its own in the folder.
bool CreateTemporaryFile(const char* folder, char (&path)[MAX_PATH])
{
    return ::GetTempFileNameA(folder, "orv", 0, path) != 0;
}

// Removes a temporary file, whatever attributes the copy gave it; the
// last error stays that of the failure being reported.
void RemoveTemporaryFile(const char* path)
{
    const DWORD error = ::GetLastError();
    ::SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileA(path);
    ::SetLastError(error);
}

// 9x/Me cannot rename onto an existing file: the old file steps aside under
// a temporary name of its own, the new one takes its name, and only then is
// the old one deleted. When the new one cannot take the name, the old one
// comes back.
bool SwapInWithoutReplace(const char* folder, const char* complete, const char* destination)
{
    if (::GetFileAttributesA(destination) == INVALID_FILE_ATTRIBUTES)
        return ::MoveFileA(complete, destination) != FALSE;

    char aside[MAX_PATH] = {};
    if (!CreateTemporaryFile(folder, aside))
        return false;
    ::DeleteFileA(aside);
    if (!::MoveFileA(destination, aside))
        return false;
    if (!::MoveFileA(complete, destination))
    {
        const DWORD error = ::GetLastError();
        ::MoveFileA(aside, destination);
        ::SetLastError(error);
        return false;
    }
    RemoveTemporaryFile(aside);
    return true;
}

} // namespace

bool ReplaceWithCopy(const std::string& source, const std::string& destination)
{
    const DWORD attributes = ::GetFileAttributesA(destination.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
    {
        ::SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }

    // In the destination's own folder: the swap is a rename on one volume.
    char folder[MAX_PATH] = {};
    if (!CopyToBuffer(destination, folder) || !::PathRemoveFileSpecA(folder))
    {
        ::SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    char complete[MAX_PATH] = {};
    if (!CreateTemporaryFile(folder, complete))
        return false;

    const bool replaced =
        ::CopyFileA(source.c_str(), complete, FALSE) &&
        (IsWindowsNT() ? ::MoveFileExA(complete, destination.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE
                       : SwapInWithoutReplace(folder, complete, destination.c_str()));
    if (!replaced)
        RemoveTemporaryFile(complete);
    return replaced;
}
