#include "engine/FileReplace.h"

#include "engine/Scheduler.h"
#include "engine/SystemServices.h"
#include "engine/Text.h"

#include <windows.h>

#include <shlwapi.h>

namespace
{

// A new, empty file of a name of its own in the folder.
bool CreateTemporaryFile(const char* folder, char (&path)[MAX_PATH])
{
    return ::GetTempFileNameA(folder, "orv", 0, path) != 0;
}

// The folder that holds a path, in a path buffer.
bool GetFolder(const std::string& path, char (&folder)[MAX_PATH])
{
    if (CopyToBuffer(path, folder) && ::PathRemoveFileSpecA(folder))
        return true;
    ::SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return false;
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
// a temporary name of its own in its folder, the new one takes its name, and
// only then is the old one deleted (at the restart if it is still in use).
// When the new one cannot take the name, the old one comes back.
bool SwapIn(const char* source, const std::string& destination)
{
    if (::GetFileAttributesA(destination.c_str()) == INVALID_FILE_ATTRIBUTES)
        return ::MoveFileA(source, destination.c_str()) != FALSE;

    char folder[MAX_PATH] = {};
    if (!GetFolder(destination, folder))
        return false;
    char aside[MAX_PATH] = {};
    if (!CreateTemporaryFile(folder, aside))
        return false;
    ::DeleteFileA(aside);
    if (!::MoveFileA(destination.c_str(), aside))
        return false;
    if (!::MoveFileA(source, destination.c_str()))
    {
        const DWORD error = ::GetLastError();
        ::MoveFileA(aside, destination.c_str());
        ::SetLastError(error);
        return false;
    }
    ::SetFileAttributesA(aside, FILE_ATTRIBUTE_NORMAL);
    if (!::DeleteFileA(aside))
        MoveFileOnReboot(aside, nullptr);
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
    if (!GetFolder(destination, folder))
        return false;
    char complete[MAX_PATH] = {};
    if (!CreateTemporaryFile(folder, complete))
        return false;

    const bool replaced = ::CopyFileA(source.c_str(), complete, FALSE) && MoveReplacing(complete, destination);
    if (!replaced)
        RemoveTemporaryFile(complete);
    return replaced;
}

bool MoveReplacing(const std::string& source, const std::string& destination)
{
    if (IsWindowsNT())
    {
        if (::MoveFileExA(source.c_str(), destination.c_str(), MOVEFILE_REPLACE_EXISTING))
            return true;
        // A system that answers like 9x/Me has no replacing move either.
        if (::GetLastError() != ERROR_CALL_NOT_IMPLEMENTED)
            return false;
    }
    return SwapIn(source.c_str(), destination);
}
