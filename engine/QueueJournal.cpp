#include "engine/QueueJournal.h"

#include "engine/FileInfo.h"
#include "engine/RegistryQueue.h"
#include "engine/WinInitFile.h"

#include <new>

namespace
{

std::string GetWinInitName()
{
    char path[MAX_PATH] = {};
    return GetWinInitPath(path) ? path : "wininit.ini";
}

} // namespace

std::string GetQueueName(bool winInit)
{
    return winInit ? GetWinInitName()
                   : "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\"
                     "PendingFileRenameOperations";
}

bool NoteQueueFailure(SQueueFailure& failure, bool winInit, const std::string& what)
{
    failure.code = ::GetLastError();
    failure.what = what.empty() ? GetQueueName(winInit) : what;
    ::SetLastError(failure.code);
    return false;
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
