#include "engine/TemporaryFiles.h"

#include "engine/Handles.h"
#include "engine/ObjectPath.h"
#include "engine/PendingParser.h"
#include "engine/RegistryQueue.h"
#include "engine/Text.h"
#include "engine/WinInitFile.h"

#include <windows.h>

#include <shlwapi.h>

#include <cctype>
#include <cstring>
#include <new>
#include <vector>

namespace
{

std::string InFolder(const std::string& folder, const char* name)
{
    const bool separated = !folder.empty() && (folder.back() == '\\' || folder.back() == '/');
    return folder + (separated ? "" : "\\") + name;
}

const char kAsideEnd[] = ".~orv";
const std::size_t kAsideEndLength = sizeof(kAsideEnd) - 1;

bool IsAsideName(const char* name)
{
    const std::size_t length = std::strlen(name);
    return length > kAsideEndLength && ::_stricmp(name + length - kAsideEndLength, kAsideEnd) == 0;
}

bool NamesTemporaryFile(const std::string& path)
{
    return FitsPath(path) && IsTemporaryName(::PathFindFileNameA(path.c_str()));
}

// The paths of temporary files of ours that the restart queue names: the
// copies that deferred replacements wait with, the old files stepped aside.
// Throws std::bad_alloc.
std::vector<std::string> QueuedTemporaryFiles()
{
    std::vector<std::string> queued;
    std::wstring value;
    if (ReadQueueText(value))
    {
        for (const SPendingEntry& entry : ParsePendingEntries(value.data(), value.size()))
        {
            std::string path;
            bool replace = false;
            if (ReadQueuePath(entry.source, false, path, replace) && NamesTemporaryFile(path))
                queued.push_back(path);
        }
    }
    std::string text;
    if (ReadWinInitText(text))
    {
        for (const SWinInitEntry& entry : ParseWinInitEntries(text))
        {
            if (NamesTemporaryFile(entry.source))
                queued.push_back(entry.source);
        }
    }
    return queued;
}

bool IsQueued(const std::vector<std::string>& queued, const std::string& path)
{
    for (const std::string& entry : queued)
    {
        if (IsSameObject(entry, path))
            return true;
    }
    return false;
}

// Deletes the file; a read-only one loses that bit first, and gets it back
// when it cannot go after all (its owner may still need it).
void DeleteTemporaryFile(const std::string& path, DWORD attributes)
{
    if (::DeleteFileA(path.c_str()) || ::GetLastError() != ERROR_ACCESS_DENIED ||
        !(attributes & FILE_ATTRIBUTE_READONLY))
        return;
    ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!::DeleteFileA(path.c_str()))
        ::SetFileAttributesA(path.c_str(), attributes);
}

} // namespace

bool CreateTemporaryFile(const std::string& folder, std::string& path)
{
    // A start of its own for each process and moment: names in use are met
    // seldom.
    const DWORD start = ::GetTickCount() ^ (::GetCurrentProcessId() << 4);
    for (DWORD n = 0; n <= 0xFFFF; ++n)
    {
        path = InFolder(folder, FormatText("~orv%04lX.tmp",
                                           static_cast<unsigned long>((start + n) & 0xFFFF)).c_str());
        if (!FitsPath(path))
        {
            ::SetLastError(ERROR_FILENAME_EXCED_RANGE);
            return false;
        }
        CFileHandle file(::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file)
            return true;
        const DWORD error = ::GetLastError();
        // A name in use (also by a folder) is passed over; any other
        // failure is the folder's.
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS &&
            (error != ERROR_ACCESS_DENIED || ::GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES))
        {
            ::SetLastError(error);
            return false;
        }
    }
    ::SetLastError(ERROR_FILE_EXISTS);
    return false;
}

bool IsTemporaryName(const char* name)
{
    if (name && IsAsideName(name))
        return true;
    if (!name || std::strlen(name) != 12 || ::_strnicmp(name, "~orv", 4) != 0 ||
        ::_stricmp(name + 8, ".tmp") != 0)
        return false;
    for (int i = 4; i < 8; ++i)
    {
        if (!std::isxdigit(static_cast<unsigned char>(name[i])))
            return false;
    }
    return true;
}

bool GetAsidePath(const std::string& path, std::string& aside)
{
    aside = path + kAsideEnd;
    const std::string name = ::PathFindFileNameA(path.c_str());
    if (FitsPath(aside) && name.size() + kAsideEndLength <= 255)
        return true;
    ::SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return false;
}

void RemoveTemporaryFile(const std::string& path)
{
    const DWORD error = ::GetLastError();
    ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileA(path.c_str());
    ::SetLastError(error);
}

void RemoveStaleTemporaryFiles(const std::string& folder)
{
    const DWORD error = ::GetLastError();
    try
    {
        std::vector<std::pair<std::string, DWORD>> found;
        for (const char* pattern : {"~orv????.tmp", "*.~orv"})
        {
            WIN32_FIND_DATAA data = {};
            CFindHandle find(::FindFirstFileA(InFolder(folder, pattern).c_str(), &data));
            for (bool more = find.IsValid(); more; more = ::FindNextFileA(find.Get(), &data) != FALSE)
            {
                if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                    NamesTemporaryFile(InFolder(folder, data.cFileName)))
                    found.emplace_back(InFolder(folder, data.cFileName), data.dwFileAttributes);
            }
        }
        if (!found.empty())
        {
            const std::vector<std::string> queued = QueuedTemporaryFiles();
            for (const auto& file : found)
            {
                if (IsQueued(queued, file.first))
                    continue;
                // The new file never took the old one's name: the old one
                // takes it back.
                const std::string& path = file.first;
                const std::string name = path.substr(0, path.size() - kAsideEndLength);
                if (IsAsideName(::PathFindFileNameA(path.c_str())) &&
                    ::GetFileAttributesA(name.c_str()) == INVALID_FILE_ATTRIBUTES &&
                    ::MoveFileA(path.c_str(), name.c_str()))
                    continue;
                DeleteTemporaryFile(path, file.second);
            }
        }
    }
    catch (const std::bad_alloc&)
    {
    }
    ::SetLastError(error);
}
