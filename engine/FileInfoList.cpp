#include "FileInfo.h"

#include "Handles.h"
#include "Text.h"

#include <shlwapi.h>

#include <algorithm>
#include <new>

namespace
{

template <typename... Args>
bool Append(std::vector<std::unique_ptr<CFileInfo>>& items, Args&&... args)
{
    try
    {
        items.push_back(std::make_unique<CFileInfo>(std::forward<Args>(args)...));
        return true;
    }
    catch (const std::bad_alloc&)
    {
        ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
}

bool IsLinkToFolder(DWORD attributes)
{
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

} // namespace

bool CFileInfoList::Add(const std::string& source, const std::string& destination,
                        std::unique_ptr<CRegistryEntry> entry, SQueueOrigin origin)
{
    return Append(m_items, source, destination, std::move(entry), std::move(origin));
}

bool CFileInfoList::AddQueued(const std::string& source, DWORD attributes,
                              const std::string& destination, SQueueOrigin origin)
{
    return Append(m_items, source, attributes, destination, std::move(origin));
}

bool CFileInfoList::AddFolder(const std::string& folder)
{
    // A junction or a symbolic link is removed as a link: its target lies
    // outside the tree and must not be emptied.
    const DWORD attributes = ::GetFileAttributesA(folder.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && IsLinkToFolder(attributes))
        return Add(folder);

    char pattern[MAX_PATH] = {};
    if (!CopyToBuffer(folder, pattern) || !::PathAppendA(pattern, "*.*"))
    {
        ::SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }

    WIN32_FIND_DATAA data = {};
    CFindHandle find(::FindFirstFileA(pattern, &data));
    if (!find)
        return false;

    do
    {
        const std::string name = data.cFileName;
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && (name == "." || name == ".."))
            continue;

        char path[MAX_PATH] = {};
        if (!CopyToBuffer(folder, path) || !::PathAppendA(path, data.cFileName))
        {
            ::SetLastError(ERROR_FILENAME_EXCED_RANGE);
            return false;
        }
        const bool added = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                                   !(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
                               ? AddFolder(path)
                               : Append(m_items, std::string(path), data.dwFileAttributes);
        if (!added)
            return false;
    } while (::FindNextFileA(find.Get(), &data));

    find.Reset();
    return Add(folder);
}

bool CFileInfoList::Contains(const std::string& path) const
{
    return std::any_of(m_items.begin(), m_items.end(), [&](const std::unique_ptr<CFileInfo>& item) {
        return IsSameText(item->GetSource(), path);
    });
}

bool CFileInfoList::Remove(const CFileInfo* item)
{
    const auto it = std::find_if(m_items.begin(), m_items.end(),
                                 [&](const std::unique_ptr<CFileInfo>& p) { return p.get() == item; });
    if (it == m_items.end())
        return false;
    m_items.erase(it);
    return true;
}

void CFileInfoList::RemoveAll()
{
    m_items.clear();
    m_pending = SPendingQueue();
}

bool CFileInfoList::IsRestartNeeded() const
{
    return std::any_of(m_items.begin(), m_items.end(), [](const std::unique_ptr<CFileInfo>& item) {
        return item->GetStatus() == StatusDelayed;
    });
}
