#include "inspect/RegistryListCtrl.h"

#include "engine/Text.h"
#include "inspect/AutostartScan.h"
#include "resources/orvgui/resource.h"
#include "window/WizardMessages.h"
#include "window/WizardText.h"

#include <shlwapi.h>

#include <algorithm>

namespace
{

// Groups go where they are created: the current user's group first.
int CALLBACK KeepGroupOrder(int, int, void*)
{
    return 1;
}

// A detached row has no entry any more: it sorts as empty texts.
const char* ValueNameOf(LPARAM data)
{
    return data ? reinterpret_cast<const CRegistryEntry*>(data)->GetValueName().c_str() : "";
}

const char* FilePathOf(LPARAM data)
{
    return data ? reinterpret_cast<const CRegistryEntry*>(data)->GetFilePath().c_str() : "";
}

int CALLBACK CompareValueNames(LPARAM first, LPARAM second, LPARAM)
{
    return ::lstrcmpiA(ValueNameOf(first), ValueNameOf(second));
}

int CALLBACK CompareFilePaths(LPARAM first, LPARAM second, LPARAM)
{
    return ::lstrcmpiA(FilePathOf(first), FilePathOf(second));
}

} // namespace

void CRegistryListCtrl::Init()
{
    m_images.Reset(::ImageList_LoadImageA(::GetModuleHandleA(nullptr),
                                          MAKEINTRESOURCEA(IDB_REGISTRY_IMAGES), 16, 0,
                                          IMG_MASK_COLOR, IMAGE_BITMAP, LR_CREATEDIBSECTION));
    SetImageList(m_images.Get(), LVSIL_SMALL);
    SetExtendedStyle(LVS_EX_LABELTIP | LVS_EX_FULLROWSELECT);

    const std::vector<std::string> titles = SplitColumnTitles(LoadResourceText(IDS_REGISTRY_COLUMNS));
    for (std::size_t column = 0; column < titles.size(); ++column)
        InsertColumn(static_cast<int>(column), titles[column], LVCFMT_LEFT, 100);
    EnableGroupView(true);
}

void CRegistryListCtrl::Fill()
{
    for (const SAutostartKey& key : kAutostartKeys)
    {
        for (const REGSAM view : GetAutostartViews(key.hive, key.name))
            ScanAutostartKey(key.hive, key.name, view, key.groupId);
    }
    SizeColumns();
}

void CRegistryListCtrl::ScanAutostartKey(HKEY hive, const char* name, REGSAM view, UINT groupId)
{
    const bool complete = ReadAutostartKey(
        hive, name, [this, groupId](std::unique_ptr<CRegistryEntry> entry) { AddEntry(std::move(entry), groupId); },
        SearchSystemPath, view);
    if (!complete)
        ShowMessage(IDS_OUT_OF_MEMORY, MB_ICONHAND);
}

int CRegistryListCtrl::AddEntry(std::unique_ptr<CRegistryEntry> entry, UINT groupId)
{
    // Room first: once a row shows the entry, keeping it must not fail.
    if (m_entries.size() == m_entries.capacity())
        m_entries.reserve(m_entries.size() * 2 + 8);
    const int image =
        ::PathFileExistsA(entry->GetFilePath().c_str()) ? ImageFileFound : ImageFileMissing;
    const LPARAM data = reinterpret_cast<LPARAM>(entry.get());

    int item = -1;
    if (IsGroupViewEnabled())
    {
        const int group = static_cast<int>(groupId);
        if (!HasGroup(group))
            InsertGroupSorted(group, LoadResourceText(groupId), KeepGroupOrder, nullptr);
        item = InsertItem(0, entry->GetValueName(), image, data, group);
    }
    else
    {
        item = InsertItem(0, entry->GetValueName(), image, data);
    }
    if (item < 0)
        return -1;
    SetItemText(item, 1, entry->GetFilePath());
    m_entries.push_back(std::move(entry));
    return item;
}

void CRegistryListCtrl::SizeColumns() const
{
    const int columns = GetColumnCount();
    if (columns <= 0)
        return;
    // The client area already leaves out a vertical scroll bar that shows.
    RECT client{};
    ::GetClientRect(m_hwnd, &client);
    const int share = (client.right - client.left) / columns;
    for (int column = 0; column < columns; ++column)
    {
        SetColumnWidth(column, LVSCW_AUTOSIZE);
        if (GetColumnWidth(column) < share)
            SetColumnWidth(column, share);
    }
}

void CRegistryListCtrl::SortByColumn(int column) const
{
    if (column == 0)
        SortItems(CompareValueNames, 0);
    else if (column == 1)
        SortItems(CompareFilePaths, 0);
}

CRegistryEntry* CRegistryListCtrl::GetEntry(int item) const
{
    return item < 0 ? nullptr : reinterpret_cast<CRegistryEntry*>(GetItemData(item));
}

CRegistryEntry* CRegistryListCtrl::GetSelectedEntry() const
{
    return GetEntry(GetSelectedItem());
}

std::unique_ptr<CRegistryEntry> CRegistryListCtrl::DetachSelectedEntry()
{
    const int item = GetSelectedItem();
    CRegistryEntry* const entry = GetEntry(item);
    const auto owned = std::find_if(m_entries.begin(), m_entries.end(),
                                    [entry](const auto& held) { return held.get() == entry; });
    if (!entry || owned == m_entries.end())
        return nullptr;
    SetItemData(item, 0);
    std::unique_ptr<CRegistryEntry> detached = std::move(*owned);
    m_entries.erase(owned);
    return detached;
}

bool CRegistryListCtrl::DeleteRow(int item)
{
    CRegistryEntry* const entry = GetEntry(item);
    if (!DeleteItem(item))
        return false;
    m_entries.erase(std::remove_if(m_entries.begin(), m_entries.end(),
                                   [entry](const auto& held) { return held.get() == entry; }),
                    m_entries.end());
    if (GetItemCount() == 0)
        ::InvalidateRect(m_hwnd, nullptr, TRUE);
    return true;
}

LRESULT CRegistryListCtrl::OnCustomDraw(const NMLVCUSTOMDRAW& draw) const
{
    switch (draw.nmcd.dwDrawStage)
    {
    case CDDS_PREPAINT:
        return CDRF_NOTIFYPOSTPAINT;
    case CDDS_POSTPAINT:
        if (GetItemCount() == 0)
            DrawEmptyText(draw.nmcd.hdc, LoadResourceText(IDS_NO_REGISTRY_KEY));
        return CDRF_DODEFAULT;
    default:
        return CDRF_DODEFAULT;
    }
}
