#include "PendingStore.h"

#include "FileBytes.h"
#include "FileInfo.h"
#include "Handles.h"
#include "PendingParser.h"
#include "SystemServices.h"
#include "Text.h"

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
bool ReadQueueValue(SQueueValue& value)
{
    LONG status = ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, kQueueAccess,
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

bool GetWindowsFolder(char (&folder)[MAX_PATH])
{
    const UINT length = ::GetWindowsDirectoryA(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
    {
        folder[0] = '\0';
        if (length >= MAX_PATH)
            ::SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    return true;
}

// The whole file's bytes, read with other writers shut out.
bool ReadWholeFile(const char* path, std::string& bytes)
{
    CFileHandle file(::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
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

bool GetWinInitPath(char (&path)[MAX_PATH])
{
    return GetWindowsFolder(path) && ::PathAppendA(path, "wininit.ini");
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

} // namespace

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
        for (const SPendingEntry& entry : ParsePendingEntries(text.data(), text.size()))
        {
            // Only what the restart would carry out as written is taken over;
            // every other entry stays in the queue.
            std::string source;
            std::string target;
            bool ignored = false;
            SQueueOrigin origin;
            if (!ReadQueuePath(entry.source, false, source, ignored) ||
                (!entry.target.empty() &&
                 !ReadQueuePath(entry.target, true, target, origin.replaceExisting)))
                continue;
            // One attribute read answers both whether the source exists and
            // whether it is a folder.
            const DWORD attributes = ::GetFileAttributesA(source.c_str());
            if (attributes == INVALID_FILE_ATTRIBUTES)
                continue;
            origin.entry = text.substr(entry.begin, entry.end - entry.begin);
            if (!AddQueued(source, attributes, target, std::move(origin)))
                return false;
        }
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
        for (SWinInitEntry& entry : ParseWinInitEntries(text))
        {
            if (!IsFullDrivePath(entry.source) ||
                (!entry.target.empty() && !IsFullDrivePath(entry.target)))
                continue;
            const DWORD attributes = ::GetFileAttributesA(entry.source.c_str());
            if (attributes == INVALID_FILE_ATTRIBUTES)
                continue;
            // The file holds short (8.3) names; the list shows the long ones.
            GetLongPath(entry.source);
            if (!entry.target.empty())
                GetLongPath(entry.target);
            SQueueOrigin origin;
            origin.line = WinInitLineText(text, entry.begin, entry.end);
            // WININIT.EXE replaces an existing destination.
            if (!AddQueued(entry.source, attributes, entry.target, std::move(origin)))
                return false;
        }
    }
    catch (const std::bad_alloc&)
    {
        ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    return true;
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
    SQueueValue value;
    try
    {
        std::vector<std::wstring> taken = TakenOrigins(list, &SQueueOrigin::entry);
        if (taken.empty())
            return true;
        // The queue is read again: entries queued since the list was read
        // stay.
        if (!ReadQueueValue(value))
            return false;
        const std::wstring text = value.Text();
        std::wstring rest = RemovePendingEntries(text, std::move(taken));
        if (rest.size() == text.size())
            return true;

        ::RegSetValueExW(value.key.Get(), kPendingBackupValueW, 0, value.type,
                         reinterpret_cast<const BYTE*>(value.bytes.data()),
                         static_cast<DWORD>(value.bytes.size()));
        // An odd last byte of a binary value is kept too.
        std::string bytes(reinterpret_cast<const char*>(rest.data()), rest.size() * sizeof(wchar_t));
        bytes.append(value.bytes, text.size() * sizeof(wchar_t), std::string::npos);
        LONG status;
        if (bytes.find_first_not_of('\0') == std::string::npos)
            status = ::RegDeleteValueW(value.key.Get(), kPendingValueW);
        else
            status = ::RegSetValueExW(value.key.Get(), kPendingValueW, 0, value.type,
                                      reinterpret_cast<const BYTE*>(bytes.data()),
                                      static_cast<DWORD>(bytes.size()));
        ::SetLastError(static_cast<DWORD>(status));
        return status == ERROR_SUCCESS;
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
        if (taken.empty())
            return true;

        char path[MAX_PATH] = {};
        char backup[MAX_PATH] = {};
        if (!GetWinInitPath(path) || !CopyToBuffer(path, backup) ||
            !::PathRenameExtensionA(backup, ".bak"))
            return false;

        // Read and rewritten under one handle that no other program shares,
        // so that no line written in between is lost.
        CFileHandle file(::CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file)
            return false;
        std::string text;
        if (!ReadToEnd(file.Get(), text))
            return false;
        const std::string rest = RemoveWinInitLines(text, std::move(taken));
        if (rest.size() == text.size())
            return true;

        // The backup is the whole file as it stood, every section included.
        CFileHandle copy(::CreateFileA(backup, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!copy || !WriteAll(copy.Get(), text))
            return false;
        copy.Reset();

        if (::SetFilePointer(file.Get(), 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER ||
            !WriteAll(file.Get(), rest))
            return false;
        return ::SetEndOfFile(file.Get()) != FALSE;
    }
    catch (const std::bad_alloc&)
    {
        ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
}
