#include "engine/PendingStore.h"

#include "engine/FileBytes.h"
#include "engine/FileInfo.h"
#include "engine/Handles.h"
#include "engine/PendingParser.h"
#include "engine/QueueJournal.h"
#include "engine/SystemServices.h"
#include "engine/TakeOver.h"
#include "engine/Text.h"

#include <shlwapi.h>

#include <new>

namespace
{

const char kSessionManager[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const wchar_t kPendingValueW[] = L"PendingFileRenameOperations";
const wchar_t kPendingBackupValueW[] = L"PendingFileRenameOperations.Backup";
// Read and write: the same key serves the reader and the remover.
const REGSAM kQueueAccess = 0x2001F;

// The queue value as it stands, and its key, still open for the remover.
// Read through the wide call: the system keeps the queue in UTF-16, and the
// ANSI call would turn what the code page lacks into "?".
struct SQueueValue
{
    CRegKey key;
    DWORD type = REG_NONE;
    std::string bytes;

    std::wstring Text() const
    {
        return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()),
                            bytes.size() / sizeof(wchar_t));
    }
};

// Opens the queue's key and reads the value's type and bytes. The registry
// answers with a status instead of the last error; it becomes the last
// error so that callers can report it. Another type than a list or bytes
// fails with ERROR_INVALID_DATA.
bool ReadQueueValue(SQueueValue& value, REGSAM access = kQueueAccess)
{
    LONG status = ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, access,
                                  value.key.Receive());
    // Another program may let the value grow between the two queries.
    for (int attempt = 0; status == ERROR_SUCCESS; ++attempt)
    {
        DWORD size = 0;
        status = ::RegQueryValueExW(value.key.Get(), kPendingValueW, nullptr, &value.type,
                                    nullptr, &size);
        if (status != ERROR_SUCCESS)
            break;
        if (value.type != REG_MULTI_SZ && value.type != REG_BINARY)
        {
            ::SetLastError(ERROR_INVALID_DATA);
            return false;
        }
        try
        {
            value.bytes.assign(size, '\0');
        }
        catch (const std::bad_alloc&)
        {
            ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return false;
        }
        status = ::RegQueryValueExW(value.key.Get(), kPendingValueW, nullptr, &value.type,
                                    size ? reinterpret_cast<BYTE*>(&value.bytes[0]) : nullptr,
                                    &size);
        if (status == ERROR_MORE_DATA && attempt < 8)
        {
            status = ERROR_SUCCESS;
            continue;
        }
        if (status == ERROR_SUCCESS)
            value.bytes.resize(size);
        break;
    }
    if (status != ERROR_SUCCESS)
    {
        value.bytes.clear();
        ::SetLastError(static_cast<DWORD>(status));
        return false;
    }
    if (value.type != REG_MULTI_SZ && value.type != REG_BINARY)
    {
        ::SetLastError(ERROR_INVALID_DATA);
        return false;
    }
    return true;
}

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

// The size of the queue value now, or -1 without one: one quick look, so
// that the value's last reading and the write are as close as can be.
long long QueueValueSize(HKEY key)
{
    DWORD size = 0;
    DWORD type = REG_NONE;
    if (::RegQueryValueExW(key, kPendingValueW, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return -1;
    return size;
}

// The queue value without the given entries (one each), as bytes; an odd
// last byte of a binary value is kept.
std::string QueueRest(const SQueueValue& value, std::vector<std::wstring> entries)
{
    const std::wstring text = value.Text();
    const std::wstring rest = RemovePendingEntries(text, std::move(entries));
    std::string bytes(reinterpret_cast<const char*>(rest.data()), rest.size() * sizeof(wchar_t));
    bytes.append(value.bytes, text.size() * sizeof(wchar_t), std::string::npos);
    return bytes;
}

// The value's end: the empty string that ends the list. Entries queued by
// another program go in right before it.
const std::string kListEnd(sizeof(wchar_t), '\0');

bool EndsList(const std::string& bytes)
{
    return bytes.size() >= kListEnd.size() && bytes.size() % sizeof(wchar_t) == 0 &&
           bytes.compare(bytes.size() - kListEnd.size(), kListEnd.size(), kListEnd) == 0;
}

// How long the value must be left alone to count as quiet, how long it is
// watched at most after a write, and how long the clearing waits at most
// for another program to stop writing.
constexpr DWORD kQuietMs = 100;
constexpr DWORD kWatchMs = 2000;
constexpr DWORD kBusyLimitMs = 60000;

// Writes to the values of the queue's key, as the system notifies them.
// Without notifications (older systems) it tells of none.
class CQueueWatch
{
public:
    CQueueWatch()
    {
        const HMODULE advapi = ::GetModuleHandleA("ADVAPI32.DLL");
        m_changed.Reset(::CreateEventA(nullptr, FALSE, FALSE, nullptr));
        if (!advapi || !m_changed || !ResolveExport(advapi, "RegNotifyChangeKeyValue", m_notify) ||
            ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_NOTIFY, m_key.Receive()) !=
                ERROR_SUCCESS)
            m_notify = nullptr;
    }

    // Watches for the next write; false when it cannot.
    bool Arm()
    {
        return m_notify && m_notify(m_key.Get(), FALSE, REG_NOTIFY_CHANGE_LAST_SET, m_changed.Get(),
                                    TRUE) == ERROR_SUCCESS;
    }

    // Whether a write came since Arm, waiting for one up to `ms`.
    bool Wait(DWORD ms) const { return ::WaitForSingleObject(m_changed.Get(), ms) == WAIT_OBJECT_0; }

private:
    using NotifyProc = LONG(WINAPI*)(HKEY key, BOOL subtree, DWORD filter, HANDLE event, BOOL async);
    NotifyProc m_notify = nullptr;
    CRegKey m_key;
    CHandle m_changed;
};

// Whether the value begins with the entries of `list` (a value's bytes;
// empty for no value at all).
bool BeginsWithList(const std::string& value, const std::string& list)
{
    if (list.empty())
        return false;
    const std::size_t entries = EndsList(list) ? list.size() - kListEnd.size() : list.size();
    return value.size() >= list.size() && value.compare(0, entries, list, 0, entries) == 0;
}

// Watches the value after the clearing wrote `written` (empty: deleted the
// value), until it has been left alone for kQuietMs. The system's own
// queueing reads the whole value, adds its entry and writes the whole back:
// a program that read before the write and writes after it puts back
// every cleared entry. Its value begins with the one first read (others
// only add at the end) and not with what was written. True, with the value
// as it then stands, for such a write; false when none comes or the value
// cannot be watched.
bool FindWriteBack(CQueueWatch& watch, SQueueValue& value, const std::string& first,
                   const std::string& written)
{
    const DWORD start = ::GetTickCount();
    do
    {
        // Watched first, then read: no write falls between the two.
        if (!watch.Arm())
            return false;
        // A value that is gone (the clearing deleted it) may come back.
        SQueueValue now;
        if (!ReadQueueValue(now) && ::GetLastError() != ERROR_FILE_NOT_FOUND)
            return false;
        if (now.type == value.type && BeginsWithList(now.bytes, first) &&
            !BeginsWithList(now.bytes, written))
        {
            value = std::move(now);
            return true;
        }
    } while (watch.Wait(kQuietMs) && ::GetTickCount() - start < kWatchMs);
    return false;
}

// Waits until the value has been left alone for kQuietMs; false once
// kBusyLimitMs have passed since `start` with writes still coming.
bool WaitForQuiet(CQueueWatch& watch, DWORD start)
{
    for (;;)
    {
        if (::GetTickCount() - start >= kBusyLimitMs)
            return false;
        if (!watch.Arm())
        {
            ::Sleep(10);
            return true;
        }
        if (!watch.Wait(kQuietMs))
            return true;
    }
}

// Clears the entries from the queue value. Other programs add to the queue
// while this runs, and the registry has no way to change a value only if
// it is unchanged: the value is read and its rest computed, then its size
// is read again right before the write, which goes ahead only if the value
// has not changed (a program that queues makes it longer). Else, once the
// other program pauses, the rest is computed again, from the entries added
// at the end when that is all that changed: a write while it queues would
// race with each of its writes. After the write, a program that writes
// back what it read before has its write cleared in turn. Throws
// std::bad_alloc.
bool ClearQueueValueEntries(const std::vector<std::wstring>& entries)
{
    CQueueWatch watch;
    SQueueValue read;
    if (!ReadQueueValue(read))
        return ::GetLastError() == ERROR_FILE_NOT_FOUND;
    std::string rest = QueueRest(read, entries);
    const std::string first = read.bytes;
    const DWORD start = ::GetTickCount();
    for (;;)
    {
        if (rest == read.bytes)
            return true;
        // Nothing but the size check lies between the look and the write.
        const bool emptied = rest.find_first_not_of('\0') == std::string::npos;
        if (QueueValueSize(read.key.Get()) == static_cast<long long>(read.bytes.size()))
        {
            LONG status;
            if (emptied)
                status = ::RegDeleteValueW(read.key.Get(), kPendingValueW);
            else
                status = ::RegSetValueExW(read.key.Get(), kPendingValueW, 0, read.type,
                                          reinterpret_cast<const BYTE*>(rest.data()),
                                          static_cast<DWORD>(rest.size()));
            if (status != ERROR_SUCCESS)
            {
                ::SetLastError(static_cast<DWORD>(status));
                return false;
            }
            if (!FindWriteBack(watch, read, first, emptied ? std::string() : rest))
            {
                ::SetLastError(ERROR_SUCCESS);
                return true;
            }
            rest = QueueRest(read, entries);
        }
        if (!WaitForQuiet(watch, start))
        {
            ::SetLastError(ERROR_BUSY);
            return false;
        }
        SQueueValue again;
        if (!ReadQueueValue(again))
            return ::GetLastError() == ERROR_FILE_NOT_FOUND;
        const std::size_t kept = read.bytes.size() - kListEnd.size();
        if (again.type == read.type && EndsList(read.bytes) && EndsList(rest) &&
            again.bytes.size() > read.bytes.size() &&
            again.bytes.compare(0, kept, read.bytes, 0, kept) == 0)
            rest = rest.substr(0, rest.size() - kListEnd.size()) + again.bytes.substr(kept);
        else
            rest = QueueRest(again, entries);
        read = std::move(again);
    }
}

// Keeps the failure of the step that failed, named for an error line (the
// queue itself unless `what` names another file or value).
bool NoteFailure(SQueueFailure& failure, bool winInit, const std::string& what = std::string())
{
    failure.code = ::GetLastError();
    failure.what = what.empty() ? GetQueueName(winInit) : what;
    ::SetLastError(failure.code);
    return false;
}

// The queue value as it stands, copied to its backup value: a write to the
// queue's key, so also the proof that the queue can be written.
bool BackupQueueValue(SQueueFailure& failure)
{
    SQueueValue value;
    if (!ReadQueueValue(value))
        return NoteFailure(failure, false);
    const LONG status = ::RegSetValueExW(value.key.Get(), kPendingBackupValueW, 0, value.type,
                                         reinterpret_cast<const BYTE*>(value.bytes.data()),
                                         static_cast<DWORD>(value.bytes.size()));
    ::SetLastError(static_cast<DWORD>(status));
    return status == ERROR_SUCCESS || NoteFailure(failure, false, GetQueueName(false) + ".Backup");
}

// wininit.ini as it stands, copied whole (every section) to wininit.bak. It
// is read under a handle open for writing and shared with no program: the
// proof that the queue can be written. Throws std::bad_alloc.
bool BackupWinInit(SQueueFailure& failure)
{
    char backup[MAX_PATH] = {};
    std::string text;
    CFileHandle file = OpenWinInitForWriting();
    if (!file || !ReadToEnd(file.Get(), text))
        return NoteFailure(failure, true);
    if (!GetWinInitPath(backup) || !::PathRenameExtensionA(backup, ".bak"))
        return NoteFailure(failure, true);
    CFileHandle copy(::CreateFileA(backup, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    return (copy && WriteAll(copy.Get(), text)) || NoteFailure(failure, true, backup);
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

bool ReadQueueText(std::wstring& text)
{
    text.clear();
    SQueueValue value;
    if (!ReadQueueValue(value, KEY_QUERY_VALUE))
        return ::GetLastError() == ERROR_FILE_NOT_FOUND;
    try
    {
        text = value.Text();
    }
    catch (const std::bad_alloc&)
    {
        ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    return true;
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

bool CFileInfoList::LoadPending()
{
    return IsWindowsNT() ? LoadPendingFromRegistry() : LoadPendingFromWinInit();
}

bool CFileInfoList::LoadPendingFromRegistry()
{
    SQueueValue value;
    if (!ReadQueueValue(value))
        return false;
    value.key.Reset();

    try
    {
        const std::wstring text = value.Text();
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
    char path[MAX_PATH] = {};
    std::string text;
    if (!GetWinInitPath(path) || !ReadWholeFile(path, text))
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

bool ClearQueueEntries(std::vector<std::wstring> entries, bool lasting)
{
    if (!ClearQueueValueEntries(entries))
        return false;
    if (!lasting)
        return true;
    CRegKey key;
    LONG status = ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_QUERY_VALUE, key.Receive());
    if (status == ERROR_SUCCESS)
        status = ::RegFlushKey(key.Get());
    ::SetLastError(static_cast<DWORD>(status));
    return status == ERROR_SUCCESS;
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
