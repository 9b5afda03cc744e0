#include "engine/WinInitFile.h"

#include "engine/FileBytes.h"
#include "engine/PendingParser.h"
#include "engine/QueueJournal.h"

#include <shlwapi.h>

#include <new>

namespace
{

// How long a program that holds wininit.ini is waited for.
constexpr DWORD kWinInitWaitMs = 2000;

// The whole file's bytes, read with other writers shut out unless `share`
// lets them in.
bool ReadWholeFile(const char* path, std::string& bytes, DWORD share = FILE_SHARE_READ)
{
    CFileHandle file(::CreateFileA(path, GENERIC_READ, share, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file)
        return false;
    try
    {
        return ReadToEnd(file.Get(), bytes);
    }
    catch (const std::bad_alloc&)
    {
        ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
}

} // namespace

bool GetWinInitPath(char (&path)[MAX_PATH])
{
    const UINT length = ::GetWindowsDirectoryA(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
    {
        path[0] = '\0';
        if (length >= MAX_PATH)
            ::SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    return ::PathAppendA(path, "wininit.ini") != FALSE;
}

CFileHandle OpenWinInitForWriting()
{
    char path[MAX_PATH] = {};
    if (!GetWinInitPath(path))
        return CFileHandle();
    const DWORD start = ::GetTickCount();
    for (;;)
    {
        CFileHandle file(::CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
        const DWORD error = ::GetLastError();
        if (file || (error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION) ||
            ::GetTickCount() - start >= kWinInitWaitMs)
            return file;
        ::Sleep(20);
    }
}

bool MarkWinInitFileLines(std::vector<std::string> lines, bool lasting)
{
    CFileHandle file = OpenWinInitForWriting();
    std::string text;
    if (!file || !ReadToEnd(file.Get(), text))
        return false;
    const std::string marked = MarkWinInitLines(text, std::move(lines));
    if (marked == text)
        return true;
    // The same length: the file needs no cut, and a write that stops short
    // leaves each line marked or not.
    if (::SetFilePointer(file.Get(), 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER ||
        !WriteAll(file.Get(), marked))
        return false;
    return !lasting || ::FlushFileBuffers(file.Get());
}


bool ReadWinInitText(std::string& text)
{
    text.clear();
    char path[MAX_PATH] = {};
    if (!GetWinInitPath(path))
        return false;
    if (ReadWholeFile(path, text, FILE_SHARE_READ | FILE_SHARE_WRITE))
        return true;
    const DWORD error = ::GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

bool ReadWinInitForTakeOver(std::string& text)
{
    text.clear();
    char path[MAX_PATH] = {};
    return GetWinInitPath(path) && ReadWholeFile(path, text);
}

bool BackupWinInit(SQueueFailure& failure)
{
    char backup[MAX_PATH] = {};
    std::string text;
    CFileHandle file = OpenWinInitForWriting();
    if (!file || !ReadToEnd(file.Get(), text))
        return NoteQueueFailure(failure, true);
    if (!GetWinInitPath(backup) || !::PathRenameExtensionA(backup, ".bak"))
        return NoteQueueFailure(failure, true);
    CFileHandle copy(::CreateFileA(backup, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    return (copy && WriteAll(copy.Get(), text)) || NoteQueueFailure(failure, true, backup);
}
