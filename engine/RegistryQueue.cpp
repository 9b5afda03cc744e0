#include "engine/RegistryQueue.h"

#include "engine/Handles.h"
#include "engine/PendingParser.h"
#include "engine/QueueJournal.h"

#include <windows.h>

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

// The value's text; false, with ERROR_NOT_ENOUGH_MEMORY, when it finds no
// room.
bool CopyQueueText(const SQueueValue& value, std::wstring& text)
{
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

} // namespace

bool ReadQueueText(std::wstring& text)
{
    text.clear();
    SQueueValue value;
    if (!ReadQueueValue(value, KEY_QUERY_VALUE))
        return ::GetLastError() == ERROR_FILE_NOT_FOUND;
    return CopyQueueText(value, text);
}

bool ReadQueueForTakeOver(std::wstring& text)
{
    text.clear();
    SQueueValue value;
    if (!ReadQueueValue(value))
        return false;
    value.key.Reset();
    return CopyQueueText(value, text);
}

bool BackupQueueValue(SQueueFailure& failure)
{
    SQueueValue value;
    if (!ReadQueueValue(value))
        return NoteQueueFailure(failure, false);
    const LONG status = ::RegSetValueExW(value.key.Get(), kPendingBackupValueW, 0, value.type,
                                         reinterpret_cast<const BYTE*>(value.bytes.data()),
                                         static_cast<DWORD>(value.bytes.size()));
    ::SetLastError(static_cast<DWORD>(status));
    return status == ERROR_SUCCESS || NoteQueueFailure(failure, false, GetQueueName(false) + ".Backup");
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
