#include "QueueListing.h"

#include "FileBytes.h"
#include "Handles.h"
#include "PendingParser.h"
#include "SystemServices.h"
#include "Text.h"

#include <shlwapi.h>

#include <new>

namespace
{

const char kSessionManager[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const wchar_t kPendingValue[] = L"PendingFileRenameOperations";

// A queue path as the listing shows it: the drive path the system would
// use, or else the stored text without its "\??\" (a form the take-over
// refuses, shown all the same).
std::string ShownPath(const std::wstring& stored, bool allowReplace, bool& replace)
{
    std::string path;
    if (ReadQueuePath(stored, allowReplace, path, replace))
        return path;
    replace = allowReplace && !stored.empty() && stored[0] == L'!';
    std::wstring text = stored.substr(replace ? 1 : 0);
    if (text.compare(0, 4, L"\\??\\") == 0)
        text.erase(0, 4);
    return WideToAnsi(text.c_str());
}

bool Exists(const std::string& path)
{
    return !path.empty() && ::PathFileExistsA(path.c_str());
}

// Read-only: listing the queue needs no right to change it.
bool ReadRegistryQueue(std::vector<SQueuedOperation>& operations)
{
    CRegKey key;
    LONG status = ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_QUERY_VALUE, key.Receive());
    std::string bytes;
    DWORD type = REG_NONE;
    // Another program may let the value grow between the two queries.
    for (int attempt = 0; status == ERROR_SUCCESS; ++attempt)
    {
        DWORD size = 0;
        status = ::RegQueryValueExW(key.Get(), kPendingValue, nullptr, &type, nullptr, &size);
        if (status != ERROR_SUCCESS)
            break;
        bytes.assign(size, '\0');
        status = ::RegQueryValueExW(key.Get(), kPendingValue, nullptr, &type,
                                    size ? reinterpret_cast<BYTE*>(&bytes[0]) : nullptr, &size);
        if (status == ERROR_MORE_DATA && attempt < 8)
        {
            status = ERROR_SUCCESS;
            continue;
        }
        if (status == ERROR_SUCCESS)
            bytes.resize(size);
        break;
    }
    if (status == ERROR_FILE_NOT_FOUND)
        return true; // nothing queued
    if (status != ERROR_SUCCESS)
    {
        ::SetLastError(static_cast<DWORD>(status));
        return false;
    }
    if (type != REG_MULTI_SZ && type != REG_BINARY)
    {
        ::SetLastError(ERROR_INVALID_DATA);
        return false;
    }

    const auto* text = reinterpret_cast<const wchar_t*>(bytes.data());
    for (const SPendingEntry& entry : ParsePendingEntries(text, bytes.size() / sizeof(wchar_t)))
    {
        SQueuedOperation operation;
        bool unused = false;
        operation.source = ShownPath(entry.source, false, unused);
        if (!entry.target.empty())
            operation.target = ShownPath(entry.target, true, operation.replace);
        operation.sourceExists = Exists(operation.source);
        operation.targetExists = Exists(operation.target);
        operations.push_back(std::move(operation));
    }
    return true;
}

bool ReadWinInitQueue(std::vector<SQueuedOperation>& operations)
{
    char path[MAX_PATH] = {};
    const UINT length = ::GetWindowsDirectoryA(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH || !::PathAppendA(path, "wininit.ini"))
    {
        ::SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    CFileHandle file(::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file)
    {
        const DWORD error = ::GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    }
    std::string text;
    if (!ReadToEnd(file.Get(), text))
        return false;
    file.Reset();

    for (const SWinInitEntry& entry : ParseWinInitEntries(text))
    {
        SQueuedOperation operation;
        operation.source = entry.source;
        operation.target = entry.target;
        // The 9x restart overwrites an existing target.
        operation.replace = true;
        operation.sourceExists = Exists(operation.source);
        operation.targetExists = Exists(operation.target);
        // Written with short names; shown as the user knows them.
        if (operation.sourceExists)
            GetLongPath(operation.source);
        if (operation.targetExists)
            GetLongPath(operation.target);
        operations.push_back(std::move(operation));
    }
    return true;
}

} // namespace

bool ReadQueuedOperations(std::vector<SQueuedOperation>& operations)
{
    operations.clear();
    try
    {
        return IsWindowsNT() ? ReadRegistryQueue(operations) : ReadWinInitQueue(operations);
    }
    catch (const std::bad_alloc&)
    {
        ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
}
