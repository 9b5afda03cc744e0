// One attempt at an operation, and one pass over the list.
#include "engine/FileInfo.h"
#include "engine/FileReplace.h"
#include "engine/Handles.h"
#include "engine/RestartRules.h"
#include "engine/Scheduler.h"
#include "engine/TemporaryFiles.h"
#include "engine/Text.h"

#include <shlwapi.h>

#include <set>

namespace
{

bool IsDeferredDeleteError(DWORD code)
{
    return code == ERROR_ACCESS_DENIED || code == ERROR_SHARING_VIOLATION ||
           code == ERROR_DIR_NOT_EMPTY;
}

bool IsDeferredMoveError(DWORD code)
{
    return code == ERROR_ACCESS_DENIED || code == ERROR_SHARING_VIOLATION;
}

} // namespace

LONG CFileInfo::Execute()
{
    m_errorCode = 0;
    m_status = StatusFailed;
    if (m_refusal != 0)
    {
        m_errorCode = m_refusal;
        return m_status;
    }

    // One look at the source tells whether it is there, whether it is a
    // folder and which bits would make a deletion fail.
    const DWORD attributes = ::GetFileAttributesA(m_source.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
    {
        m_errorCode = ERROR_FILE_NOT_FOUND;
        return m_status;
    }
    const bool isFolder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    const bool isFile = !isFolder;
    // A queued entry does what the restart would do with the disk as it is
    // now: an earlier entry may just have made or taken its destination.
    if (IsQueued())
    {
        m_directory = isFolder;
        InferKind();
    }

    // The autostart value of a file follows the file only once the operation
    // is done or queued: a failed attempt must leave the value as it was.
    CRegistryEntry* const entry = isFile ? m_entry.get() : nullptr;

    if (m_action == ActionDelete)
    {
        // Read-only, hidden and system bits would make the deletion fail;
        // every other attribute (archive, ...) is kept.
        const DWORD blocking = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
        if (attributes & blocking)
            ::SetFileAttributesA(m_source.c_str(), attributes & ~blocking);
        const BOOL done = isFolder ? ::RemoveDirectoryA(m_source.c_str())
                                   : ::DeleteFileA(m_source.c_str());
        if (done)
        {
            if (entry)
                entry->DeleteValue();
            m_status = StatusDeleted;
            return m_status;
        }
        m_errorCode = ::GetLastError();
        if (!IsDeferredDeleteError(m_errorCode) || Defer(m_source, nullptr) != StatusDelayed)
            return m_status;
        if (entry)
            entry->DeleteValue();
        return m_status;
    }

    BOOL done;
    // The copy of a new replacement, in the target's folder.
    std::string copy;
    // A queued replacement is a rename that may overwrite, as the restart
    // does it; a new one is a copy that keeps its source.
    if (isFile && m_action == ActionReplace && IsQueued())
    {
        done = MoveReplacing(m_source, m_destination);
    }
    else if (isFile && m_action == ActionReplace)
    {
        // What cannot be copied fails now; a copy that cannot take the
        // target's place yet waits for the restart, and the source stays
        // the user's.
        if (!CopyBeside(m_source, m_destination, copy))
        {
            m_errorCode = ::GetLastError();
            return m_status;
        }
        done = PutCopyInPlace(copy, m_destination);
    }
    else
    {
        done = ::MoveFileA(m_source.c_str(), m_destination.c_str());
    }
    if (done)
    {
        if (entry)
            entry->UpdateValue(m_destination);
        m_status = m_action == ActionReplace ? StatusReplaced : StatusMoved;
        return m_status;
    }
    m_errorCode = ::GetLastError();
    if (!QueueMove(copy) && !copy.empty())
        RemoveTemporaryFile(copy);
    if (m_status == StatusDelayed && entry)
        entry->UpdateValue(m_destination);
    return m_status;
}

bool CFileInfo::QueueMove(const std::string& copy)
{
    if (!IsDeferredMoveError(m_errorCode))
        return false;
    const std::string& existing = copy.empty() ? m_source : copy;
    // What the restart could never carry out fails now, as an attempt on an
    // object not in use fails.
    if (const DWORD refusal = CheckDelayedMove(existing, m_destination))
    {
        m_errorCode = refusal;
        return false;
    }
    // A copy is held while it is queued: the next run in its folder takes
    // none for one left behind before the queue names it.
    CFileHandle held;
    if (!copy.empty())
    {
        held.Reset(::CreateFileA(existing.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 0, nullptr));
        if (!held)
        {
            m_errorCode = ::GetLastError();
            return false;
        }
    }
    return Defer(existing, m_destination.c_str()) == StatusDelayed;
}

LONG CFileInfo::Defer(const std::string& existing, const char* newPath)
{
    // Taken over from the queue: the entry is still there, in its place.
    if (m_origin.takenOver)
    {
        StayQueued();
        return m_status;
    }
    // Not queued: the operation failed because the queue refused it (a move
    // the restart could never carry out, a WinInit.Ini that cannot be
    // written, ...), and that is the reason the user must see.
    if (!MoveFileOnReboot(existing.c_str(), newPath, m_origin.replaceExisting))
    {
        m_errorCode = ::GetLastError();
        return m_status;
    }
    m_errorCode = 0;
    m_status = StatusDelayed;
    return m_status;
}

void CFileInfoList::RemoveLeftovers() const
{
    std::set<std::string> folders;
    for (const auto& item : m_items)
    {
        if (item->GetStatus() == StatusNotProcessed)
            continue;
        for (const std::string* path : {&item->GetSource(), &item->GetDestination()})
        {
            char folder[MAX_PATH] = {};
            if (!path->empty() && CopyToBuffer(*path, folder) && ::PathRemoveFileSpecA(folder))
                folders.insert(folder);
        }
    }
    for (const std::string& folder : folders)
        RemoveStaleTemporaryFiles(folder);
}

bool CFileInfoList::Process(CProgress* progress)
{
    LONG overall = 0;
    // What was taken over from the queue runs first, in the queue's order.
    if (m_pending.takenOver && !RunTakeOver())
        overall = StatusFailed;
    for (std::size_t i = 0; i < m_items.size(); ++i)
    {
        CFileInfo* const item = m_items[i].get();
        if (IsDone(item->GetStatus()) || item->GetQueueOrigin().takenOver)
            continue;
        // Only between two operations: the one under way is never cut short.
        if (progress && !progress->Continue(i))
            break;
        const LONG status = item->Execute();
        if (IsDone(status))
        {
            if (overall == 0)
                overall = status;
        }
        else if (overall != StatusFailed)
        {
            overall = status;
        }
    }
    RemoveLeftovers();
    return overall != StatusFailed;
}
