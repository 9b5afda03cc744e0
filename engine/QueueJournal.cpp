#include "engine/QueueJournal.h"

#include "engine/FileBytes.h"
#include "engine/FileInfo.h"
#include "engine/PendingParser.h"
#include "engine/PendingStore.h"

#include <shlwapi.h>

#include <new>

namespace
{

// How long a program that holds wininit.ini is waited for.
constexpr DWORD kWinInitWaitMs = 2000;

std::string GetWinInitName()
{
    char path[MAX_PATH] = {};
    return GetWinInitPath(path) ? path : "wininit.ini";
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

std::string GetQueueName(bool winInit)
{
    return winInit ? GetWinInitName()
                   : "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\"
                     "PendingFileRenameOperations";
}

void CQueueJournal::Add(const SQueueOrigin& origin)
{
    if (m_winInit)
        m_lines.push_back(origin.line);
    else
        m_entries.push_back(origin.entry);
}

bool CQueueJournal::Commit(bool lasting)
{
    if (m_entries.empty() && m_lines.empty())
        return true;
    bool committed;
    try
    {
        committed = m_winInit ? MarkWinInitFileLines(std::move(m_lines), lasting)
                              : ClearQueueEntries(std::move(m_entries), lasting);
    }
    catch (const std::bad_alloc&)
    {
        ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        committed = false;
    }
    m_entries.clear();
    m_lines.clear();
    if (!committed)
    {
        const DWORD error = ::GetLastError();
        m_failure.code = error != ERROR_SUCCESS ? error : ERROR_WRITE_FAULT;
        m_failure.what = GetQueueName(m_winInit);
    }
    return committed;
}
