// The autostart values of the user and of the machine, one row per value,
// grouped by hive. The control owns the entries its rows show.
#pragma once

#include "engine/RegistryEntry.h"
#include "window/GuiHandles.h"
#include "window/ListView.h"

#include <memory>
#include <string>
#include <vector>

class CRegistryListCtrl : public CListView
{
public:
    // Images of the rows.
    enum { ImageFileFound = 0, ImageFileMissing = 1 };

    // Images, columns and group view of the attached control.
    void Init();
    // The four autostart keys in order, then the columns sized to them.
    void Fill();
    // Adds the REG_SZ values of one key under the group (string id).
    void ScanAutostartKey(HKEY hive, const char* name, REGSAM view, UINT groupId);
    // Inserts a row at the top for the entry; the row's index, or -1.
    int AddEntry(std::unique_ptr<CRegistryEntry> entry, UINT groupId);

    // Each column at least its share of the client width.
    void SizeColumns() const;
    // Ascending by value name (column 0) or file path (column 1).
    void SortByColumn(int column) const;

    CRegistryEntry* GetEntry(int item) const;
    CRegistryEntry* GetSelectedEntry() const;
    // The selected row's entry, which the row no longer frees.
    std::unique_ptr<CRegistryEntry> DetachSelectedEntry();
    // Deletes the row and frees its entry.
    bool DeleteRow(int item);

    // Custom drawing of the control: the empty text over an empty list.
    LRESULT OnCustomDraw(const NMLVCUSTOMDRAW& draw) const;

private:

    CImageList m_images;
    std::vector<std::unique_ptr<CRegistryEntry>> m_entries;
};
