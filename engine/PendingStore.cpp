#include "engine/PendingStore.h"

#include "engine/FileInfo.h"
#include "engine/PendingParser.h"
#include "engine/QueueJournal.h"
#include "engine/RegistryQueue.h"
#include "engine/SystemServices.h"
#include "engine/TakeOver.h"
#include "engine/Text.h"
#include "engine/WinInitFile.h"

#include <new>

namespace
{

// The queue texts (registry entries or wininit.ini lines) of the operations
// that were taken over from the queue (throws std::bad_alloc).
template <typename Text>
std::vector<Text> TakenOrigins(const CFileInfoList& list, Text SQueueOrigin::*origin)
{
    std::vector<Text> taken;
    for (std::size_t i = 0; i < list.GetCount(); ++i)
    {
        const Text& text = list.GetAt(i)->GetQueueOrigin().*origin;
        if (!text.empty())
            taken.push_back(text);
    }
    return taken;
}

// A queued path as the take-over compares it, also one that is not read
// as a path: "!" and "\??\" dropped.
std::wstring QueueTextKey(const std::wstring& text)
{
    bool replace = false;
    const std::wstring path = StripQueueMarks(text, true, replace);
    return TakeOverKey(WideToAnsi(path.c_str(), static_cast<int>(path.size())));
}

} // namespace

bool CFileInfoList::LoadPending()
{
    return IsWindowsNT() ? LoadPendingFromRegistry() : LoadPendingFromWinInit();
}

bool CFileInfoList::LoadPendingFromRegistry()
{
    std::wstring text;
    if (!ReadQueueForTakeOver(text))
        return false;

    try
    {
        SPendingQueue queue;
        CTakeOverKeys keys;
        for (const SPendingEntry& entry : ParsePendingEntries(text.data(), text.size()))
        {
            queue.entries.emplace_back();
            STakeOverEntry& seen = queue.entries.back();
            // Only what the restart would carry out as written is taken over;
            // every other entry stays in the queue.
            std::string source;
            std::string target;
            bool ignored = false;
            SQueueOrigin origin;
            origin.index = queue.entries.size() - 1;
            if (!ReadQueuePath(entry.source, false, source, ignored) ||
                (!entry.target.empty() &&
                 !ReadQueuePath(entry.target, true, target, origin.replaceExisting)))
            {
                seen.paths.push_back(QueueTextKey(entry.source));
                if (!entry.target.empty())
                    seen.paths.push_back(QueueTextKey(entry.target));
                continue;
            }
            keys.Add(source, seen.paths);
            if (!target.empty())
                keys.Add(target, seen.paths);
            // One attribute read answers both whether the source exists and
            // whether it is a folder.
            const DWORD attributes = ::GetFileAttributesA(source.c_str());
            if (attributes == INVALID_FILE_ATTRIBUTES)
                continue;
            seen.runnable = true;
            origin.entry = text.substr(entry.begin, entry.end - entry.begin);
            if (!AddQueued(source, attributes, target, std::move(origin)))
                return false;
        }
        m_pending = std::move(queue);
    }
    catch (const std::bad_alloc&)
    {
        ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    return true;
}

bool CFileInfoList::LoadPendingFromWinInit()
{
    std::string text;
    if (!ReadWinInitForTakeOver(text))
        return false;

    try
    {
        SPendingQueue queue;
        queue.winInit = true;
        CTakeOverKeys keys;
        for (SWinInitEntry& entry : ParseWinInitEntries(text))
        {
            queue.entries.emplace_back();
            STakeOverEntry& seen = queue.entries.back();
            // The restart leaves it alone: it touches nothing and stays.
            if (entry.inert)
                continue;
            const bool readable = IsFullDrivePath(entry.source) &&
                                  (entry.target.empty() || IsFullDrivePath(entry.target));
            const DWORD attributes =
                readable ? ::GetFileAttributesA(entry.source.c_str()) : INVALID_FILE_ATTRIBUTES;
            if (attributes != INVALID_FILE_ATTRIBUTES)
            {
                // The file holds short (8.3) names; the list shows the long ones.
                GetLongPath(entry.source);
                if (!entry.target.empty())
                    GetLongPath(entry.target);
            }
            if (readable)
            {
                keys.Add(entry.source, seen.paths);
                if (!entry.target.empty())
                    keys.Add(entry.target, seen.paths);
            }
            else
            {
                seen.paths.push_back(TakeOverKey(entry.source));
                if (!entry.target.empty())
                    seen.paths.push_back(TakeOverKey(entry.target));
            }
            if (attributes == INVALID_FILE_ATTRIBUTES)
                continue;
            seen.runnable = true;
            SQueueOrigin origin;
            origin.index = queue.entries.size() - 1;
            origin.line = WinInitLineText(text, entry.begin, entry.end);
            // WININIT.EXE replaces an existing destination.
            if (!AddQueued(entry.source, attributes, entry.target, std::move(origin)))
                return false;
        }
        m_pending = std::move(queue);
    }
    catch (const std::bad_alloc&)
    {
        ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    return true;
}

bool CFileInfoList::TakeOverPending()
{
    std::vector<CFileInfo*> queued;
    for (const auto& item : m_items)
    {
        if (item->IsQueued() && item->GetQueueOrigin().index < m_pending.entries.size())
            queued.push_back(item.get());
    }
    if (queued.empty() || m_pending.takenOver)
        return true;
    m_pending.failure = SQueueFailure();
    try
    {
        if (!(m_pending.winInit ? BackupWinInit(m_pending.failure) : BackupQueueValue(m_pending.failure)))
        {
            ::SetLastError(m_pending.failure.code);
            return false;
        }
    }
    catch (const std::bad_alloc&)
    {
        m_pending.failure.code = ERROR_NOT_ENOUGH_MEMORY;
        m_pending.failure.what = GetQueueName(m_pending.winInit);
        ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    for (CFileInfo* item : queued)
        item->TakeOver();
    m_pending.takenOver = true;
    return true;
}

void CFileInfoList::LeavePending()
{
    for (const auto& item : m_items)
        item->TakeOver(false);
    m_pending.takenOver = false;
}

bool CFileInfoList::RunTakeOver()
{
    try
    {
        std::vector<CFileInfo*> items(m_pending.entries.size(), nullptr);
        for (const auto& item : m_items)
        {
            const SQueueOrigin& origin = item->GetQueueOrigin();
            if (origin.takenOver && origin.index < items.size())
                items[origin.index] = item.get();
        }
        std::vector<STakeOverEntry> entries = m_pending.entries;
        for (std::size_t i = 0; i < entries.size(); ++i)
            entries[i].runnable = entries[i].runnable && items[i];

        bool failed = false;
        std::vector<bool> tried(entries.size(), false);
        CQueueJournal journal(m_pending.winInit);
        PlanTakeOver(
            entries,
            [&](std::size_t i) {
                CFileInfo* item = items[i];
                // Done by an earlier pass, which cleared its entry.
                if (IsDone(item->GetStatus()))
                    return true;
                tried[i] = true;
                const LONG status = item->Execute();
                if (status == StatusFailed)
                    failed = true;
                if (!IsDone(status))
                    return false;
                journal.Add(item->GetQueueOrigin());
                return true;
            },
            [&](bool lasting) { return journal.Commit(lasting); });
        for (std::size_t i = 0; i < entries.size(); ++i)
        {
            if (items[i] && !tried[i] && !IsDone(items[i]->GetStatus()))
                items[i]->StayQueued();
        }
        if (journal.GetFailure().code != ERROR_SUCCESS)
        {
            m_pending.failure = journal.GetFailure();
            failed = true;
        }
        return !failed;
    }
    catch (const std::bad_alloc&)
    {
        ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
}

bool RemovePending(const CFileInfoList& list)
{
    return IsWindowsNT() ? RemovePendingFromRegistry(list) : RemovePendingFromWinInit(list);
}

bool RemovePending()
{
    CFileInfoList list;
    return list.LoadPending() && RemovePending(list);
}

bool RemovePendingFromRegistry(const CFileInfoList& list)
{
    try
    {
        std::vector<std::wstring> taken = TakenOrigins(list, &SQueueOrigin::entry);
        SQueueFailure failure;
        return taken.empty() || (BackupQueueValue(failure) && ClearQueueEntries(std::move(taken)));
    }
    catch (const std::bad_alloc&)
    {
        ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
}

bool RemovePendingFromWinInit(const CFileInfoList& list)
{
    try
    {
        std::vector<std::string> taken = TakenOrigins(list, &SQueueOrigin::line);
        SQueueFailure failure;
        return taken.empty() || (BackupWinInit(failure) && MarkWinInitFileLines(std::move(taken), false));
    }
    catch (const std::bad_alloc&)
    {
        ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
}
