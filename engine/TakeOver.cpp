#include "TakeOver.h"

#include "Scheduler.h"
#include "Text.h"

#include <windows.h>

#include <set>

namespace
{

// True when a blocked path is the path itself, a folder holding it or a
// path inside it.
bool Touches(const std::set<std::wstring>& blocked, const std::wstring& path)
{
    if (blocked.empty() || path.empty())
        return false;
    for (std::size_t end = path.size(); end != 0 && end != std::wstring::npos;
         end = path.rfind(L'\\', end - 1))
    {
        if (blocked.count(path.substr(0, end)))
            return true;
    }
    const std::wstring inside = path + L'\\';
    const auto next = blocked.lower_bound(inside);
    return next != blocked.end() && next->compare(0, inside.size(), inside) == 0;
}

// The long form of a path that holds a short (8.3) name; the part that does
// not exist yet (a new name) is kept as given.
std::string LongForm(const std::string& path)
{
    if (path.find('~') == std::string::npos)
        return path;
    char buffer[MAX_PATH] = {};
    DWORD length = ::GetLongPathNameA(path.c_str(), buffer, MAX_PATH);
    if (length != 0 && length < MAX_PATH)
        return buffer;
    const std::size_t slash = path.rfind('\\');
    if (slash == std::string::npos || slash < 3)
        return path;
    const std::string folder = path.substr(0, slash);
    length = ::GetLongPathNameA(folder.c_str(), buffer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return path;
    return std::string(buffer) + path.substr(slash);
}

} // namespace

std::vector<bool> PlanTakeOver(const std::vector<STakeOverEntry>& entries,
                               const std::function<bool(std::size_t)>& run)
{
    std::vector<bool> done(entries.size(), false);
    std::set<std::wstring> blocked;
    for (std::size_t i = 0; i < entries.size(); ++i)
    {
        const STakeOverEntry& entry = entries[i];
        bool waits = !entry.runnable;
        for (const std::wstring& path : entry.paths)
            waits = waits || Touches(blocked, path);
        if (!waits)
            done[i] = run(i);
        if (!done[i])
            blocked.insert(entry.paths.begin(), entry.paths.end());
    }
    return done;
}

std::wstring TakeOverKey(const std::string& path)
{
    // The system's own case rules for the code page, DBCS pairs kept whole.
    std::string upper = LongForm(path);
    if (!upper.empty())
        ::CharUpperA(&upper[0]);
    std::wstring key = AnsiToWide(upper);
    while (key.size() > 3 && key.back() == L'\\')
        key.pop_back();
    return key;
}

bool IsWithin(const std::wstring& key, const std::wstring& folderKey)
{
    return !folderKey.empty() && key.compare(0, folderKey.size(), folderKey) == 0 &&
           (key.size() == folderKey.size() || key[folderKey.size()] == L'\\');
}

bool MoveReplacing(const char* source, const char* destination)
{
    if (::MoveFileExA(source, destination, MOVEFILE_REPLACE_EXISTING))
        return true;
    if (::GetLastError() != ERROR_CALL_NOT_IMPLEMENTED)
        return false;
    if (::GetFileAttributesA(destination) == INVALID_FILE_ATTRIBUTES)
        return ::MoveFileA(source, destination) != FALSE;

    // Windows 9x/Me: a free name beside the destination holds the old file
    // until the new one is in place.
    std::string aside;
    for (unsigned n = 0;; ++n)
    {
        aside = FormatText("%s.%u.orv", destination, n);
        if (!FitsPath(aside))
        {
            ::SetLastError(ERROR_FILENAME_EXCED_RANGE);
            return false;
        }
        if (::MoveFileA(destination, aside.c_str()))
            break;
        if (::GetLastError() != ERROR_ALREADY_EXISTS || n == 99)
            return false;
    }
    if (!::MoveFileA(source, destination))
    {
        const DWORD error = ::GetLastError();
        ::MoveFileA(aside.c_str(), destination);
        ::SetLastError(error);
        return false;
    }
    if (!::DeleteFileA(aside.c_str()))
        MoveFileOnReboot(aside.c_str(), nullptr);
    return true;
}
