#include "engine/FileInfo.h"

#include "engine/FolderListing.h"
#include "engine/Handles.h"
#include "engine/Text.h"

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

bool CFileInfoList::AddFolder(const std::string& folder, CProgress* progress)
{
    bool keeps = false;
    return AddTree(folder, progress, m_items.size(), keeps);
}

bool CFileInfoList::AddTree(const std::string& folder, CProgress* progress, std::size_t first,
                            bool& keeps)
{
    // A junction or a symbolic link is removed as a link: its target lies
    // outside the tree and must not be emptied.
    const DWORD attributes = ::GetFileAttributesA(folder.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && IsLinkToFolder(attributes))
        return Add(folder);

    CFolderListing listing(folder);
    if (!listing.IsOpen())
        return false;

    // Something of this folder's content stays, so the folder stays too.
    bool stays = false;
    SFolderEntry entry;
    while (listing.Next(entry))
    {
        if (entry.name.empty())
        {
            // Its name would reach another object, or none: it stays, and is
            // reported as it reads.
            const char* separator = !folder.empty() && folder.back() == '\\' ? "" : "\\";
            if (!Append(m_items, folder + separator + entry.shownName, entry.attributes))
                return false;
            m_items.back()->Refuse(ERROR_INVALID_NAME);
            stays = true;
            continue;
        }

        char path[MAX_PATH] = {};
        const auto join = [&](const std::string& name) {
            return CopyToBuffer(folder, path) && ::PathAppendA(path, name.c_str());
        };
        if (!join(entry.name) && (entry.shortName.empty() || !join(entry.shortName)))
        {
            ::SetLastError(ERROR_FILENAME_EXCED_RANGE);
            return false;
        }
        const bool added = (entry.attributes & FILE_ATTRIBUTE_DIRECTORY) &&
                                   !(entry.attributes & FILE_ATTRIBUTE_REPARSE_POINT)
                               ? AddTree(path, progress, first, stays)
                               : Append(m_items, std::string(path), entry.attributes);
        if (!added)
            return false;
        if (progress && !progress->Continue(m_items.size() - first))
        {
            ::SetLastError(ERROR_CANCELLED);
            return false;
        }
    }

    if (!Add(folder))
        return false;
    if (stays)
    {
        m_items.back()->Refuse(ERROR_DIR_NOT_EMPTY);
        keeps = true;
    }
    return true;
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

void CFileInfoList::RemoveFrom(std::size_t first)
{
    if (first < m_items.size())
        m_items.erase(m_items.begin() + static_cast<std::ptrdiff_t>(first), m_items.end());
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
