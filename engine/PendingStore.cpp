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

// The queue value as it stands, and its key, still open for the remover.
struct SQueueValue
{
    CRegKey key;
    DWORD type = REG_NONE;
    DWORD size = 0;
    std::unique_ptr<BYTE[]> data;
};

// Opens the queue's key and reads the value's type and bytes, in a buffer of
// exactly the size the registry reports. The registry answers with a status
// instead of the last error; it becomes the last error so that callers can
// report it. Another type than a list or bytes fails with error 0.
bool ReadQueueValue(SQueueValue& value)
{
    LONG status = ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, kQueueAccess,
                                  value.key.Receive());
    if (status == ERROR_SUCCESS)
        status = ::RegQueryValueExA(value.key.Get(), kPendingValue, nullptr, &value.type,
                                    nullptr, &value.size);
    if (status != ERROR_SUCCESS)
    {
        ::SetLastError(static_cast<DWORD>(status));
        return false;
    }
    if (value.type != REG_MULTI_SZ && value.type != REG_BINARY)
    {
        ::SetLastError(0);
        return false;
    }
    // At least one byte, so that an empty value still has a buffer.
    value.data.reset(new (std::nothrow) BYTE[value.size ? value.size : 1]);
    if (!value.data)
    {
        ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    status = ::RegQueryValueExA(value.key.Get(), kPendingValue, nullptr, &value.type,
                                value.data.get(), &value.size);
    if (status != ERROR_SUCCESS)
    {
        value.data.reset();
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
    SQueueValue value;
    if (!ReadQueueValue(value))
        return false;
    value.key.Reset();

    std::vector<PendingPair> pairs;
    try
    {
        pairs = ParsePendingValue(reinterpret_cast<const char*>(value.data.get()), value.size);
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
    SQueueValue value;
    if (!ReadQueueValue(value))
        return false;

    // The backup keeps the queue exactly as it stood; neither outcome
    // changes the answer.
    ::RegSetValueExA(value.key.Get(), kPendingBackupValue, 0, value.type, value.data.get(),
                     value.size);
    ::RegDeleteValueA(value.key.Get(), kPendingValue);
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
