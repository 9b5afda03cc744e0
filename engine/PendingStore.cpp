#include "PendingStore.h"

#include "FileInfo.h"
#include "Handles.h"
#include "PendingParser.h"
#include "SystemServices.h"
#include "Text.h"

#include <share.h>
#include <shlwapi.h>

#include <cstdio>
#include <memory>
#include <new>

namespace
{

const char kSessionManager[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const char kPendingValue[] = "PendingFileRenameOperations";
const char kPendingBackupValue[] = "PendingFileRenameOperations.Backup";
// Read and write: the same key serves the reader and the remover.
const REGSAM kQueueAccess = 0x2001F;

// Opens the queue's key. The registry answers with a status instead of the
// last error; it becomes the last error so that callers can report it.
bool OpenQueueKey(CRegKey& key)
{
    const LONG status =
        ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, kQueueAccess, key.Receive());
    if (status != ERROR_SUCCESS)
    {
        ::SetLastError(static_cast<DWORD>(status));
        return false;
    }
    return true;
}

// The queue value's type and bytes, in a buffer of exactly the size the
// registry reports.
bool ReadQueueValue(HKEY key, DWORD& type, std::unique_ptr<BYTE[]>& data, DWORD& size)
{
    size = 0;
    type = REG_NONE;
    LONG status = ::RegQueryValueExA(key, kPendingValue, nullptr, &type, nullptr, &size);
    if (status != ERROR_SUCCESS)
    {
        ::SetLastError(static_cast<DWORD>(status));
        return false;
    }
    if (type != REG_MULTI_SZ && type != REG_BINARY)
    {
        ::SetLastError(0);
        return false;
    }
    // At least one byte, so that an empty value still has a buffer.
    data.reset(new (std::nothrow) BYTE[size ? size : 1]);
    if (!data)
    {
        ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    status = ::RegQueryValueExA(key, kPendingValue, nullptr, &type, data.get(), &size);
    if (status != ERROR_SUCCESS)
    {
        data.reset();
        ::SetLastError(static_cast<DWORD>(status));
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

// The whole file as text-mode reading sees it (CR LF read as LF), opened
// with other writers shut out while it is read.
bool ReadTextFile(const char* path, std::string& text)
{
    std::FILE* file = ::_fsopen(path, "rt", _SH_DENYWR);
    if (!file)
        return false;
    bool ok = true;
    try
    {
        char chunk[16384];
        std::size_t read = 0;
        while ((read = std::fread(chunk, 1, sizeof(chunk), file)) != 0)
            text.append(chunk, read);
        ok = !std::ferror(file);
    }
    catch (const std::bad_alloc&)
    {
        ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        ok = false;
    }
    const DWORD error = ::GetLastError();
    std::fclose(file);
    ::SetLastError(error);
    return ok;
}

} // namespace

bool CFileInfoList::LoadPending()
{
    return IsWindowsNT() ? LoadPendingFromRegistry() : LoadPendingFromWinInit();
}

bool CFileInfoList::LoadPendingFromRegistry()
{
    CRegKey key;
    if (!OpenQueueKey(key))
        return false;
    DWORD type = REG_NONE;
    DWORD size = 0;
    std::unique_ptr<BYTE[]> data;
    if (!ReadQueueValue(key.Get(), type, data, size))
        return false;
    key.Reset();

    std::vector<PendingPair> pairs;
    try
    {
        pairs = ParsePendingValue(reinterpret_cast<const char*>(data.get()), size);
    }
    catch (const std::bad_alloc&)
    {
        ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }

    for (const PendingPair& pair : pairs)
    {
        // A name longer than a path buffer names nothing that exists.
        if (!FitsPath(pair.first) || !::PathFileExistsA(pair.first.c_str()))
            continue;
        if (!Add(pair.first, pair.second))
            return false;
    }
    return true;
}

bool CFileInfoList::LoadPendingFromWinInit()
{
    char path[MAX_PATH] = {};
    if (!GetWindowsFolder(path) || !::PathAppendA(path, "wininit.ini"))
        return false;

    std::string text;
    if (!ReadTextFile(path, text))
        return false;

    std::vector<PendingPair> pairs;
    try
    {
        pairs = ParseWinInitRename(text);
    }
    catch (const std::bad_alloc&)
    {
        ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }

    for (PendingPair& pair : pairs)
    {
        if (!FitsPath(pair.first) || !::PathFileExistsA(pair.first.c_str()))
            continue;
        // The file holds short (8.3) names; the list shows the long ones.
        GetLongPath(pair.first);
        if (!pair.second.empty())
            GetLongPath(pair.second);
        if (!Add(pair.first, pair.second))
            return false;
    }
    return true;
}

bool RemovePending()
{
    return IsWindowsNT() ? RemovePendingFromRegistry() : RemovePendingFromWinInit();
}

bool RemovePendingFromRegistry()
{
    CRegKey key;
    if (!OpenQueueKey(key))
        return false;
    DWORD type = REG_NONE;
    DWORD size = 0;
    std::unique_ptr<BYTE[]> data;
    if (!ReadQueueValue(key.Get(), type, data, size))
        return false;

    // The backup keeps the queue exactly as it stood; neither outcome
    // changes the answer.
    ::RegSetValueExA(key.Get(), kPendingBackupValue, 0, type, data.get(), size);
    ::RegDeleteValueA(key.Get(), kPendingValue);
    return true;
}

bool RemovePendingFromWinInit()
{
    char folder[MAX_PATH] = {};
    if (!GetWindowsFolder(folder))
        return false;
    const std::string path = std::string(folder) + "\\wininit.ini";
    char backup[MAX_PATH] = {};
    if (!CopyToBuffer(path, backup) || !::PathRenameExtensionA(backup, ".bak"))
        return false;

    ::DeleteFileA(backup);
    ::MoveFileA(path.c_str(), backup);
    return true;
}
