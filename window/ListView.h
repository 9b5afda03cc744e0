// A thin wrapper over a list-view control that a dialog owns: the calls the
// lists of the wizard make, without SendMessage at every call site.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>

class CListView
{
public:
    CListView() = default;
    virtual ~CListView() = default;

    CListView(const CListView&) = delete;
    CListView& operator=(const CListView&) = delete;

    void Attach(HWND hwnd) { m_hwnd = hwnd; }
    HWND GetHwnd() const { return m_hwnd; }

    void SetExtendedStyle(DWORD style) const;
    int InsertColumn(int index, const std::string& text, int format, int width) const;
    int GetColumnCount() const;
    void SetImageList(HIMAGELIST images, int which) const;

    int GetItemCount() const;
    // Appends a row; its index, or -1.
    int InsertItem(int index, const std::string& text, int image, LPARAM data) const;
    bool SetItemText(int item, int column, const std::string& text) const;
    std::string GetItemText(int item, int column) const;
    LPARAM GetItemData(int item) const;
    // The row whose item data is `data`, or -1.
    int FindItemData(LPARAM data) const;
    bool SetItemData(int item, LPARAM data) const;
    bool DeleteItem(int item) const;
    bool DeleteAllItems() const;

    // -1 starts at the top; LVNI_SELECTED, LVNI_ALL, ...
    int GetNextItem(int start, UINT flags) const;
    // The first selected row, or -1.
    int GetSelectedItem() const { return GetNextItem(-1, LVNI_SELECTED); }
    int GetSelectedCount() const;
    bool SetItemState(int item, UINT state, UINT mask) const;
    // The row alone selected, with the focus rectangle, scrolled into view.
    bool SelectItem(int item) const;
    UINT GetItemState(int item, UINT mask) const;
    bool SortItems(PFNLVCOMPARE compare, LPARAM sortData) const;
    HWND GetHeader() const;
    // What an empty list shows below its header: the text centred and word-
    // wrapped in the list's font and colours, 10 pixels down.
    void DrawEmptyText(HDC dc, const std::string& text) const;
    // LVSCW_AUTOSIZE, LVSCW_AUTOSIZE_USEHEADER or a width in pixels.
    bool SetColumnWidth(int column, int width) const;
    int GetColumnWidth(int column) const;

    // Groups (common controls 6). False when the control has no group view.
    bool EnableGroupView(bool enable) const;
    bool IsGroupViewEnabled() const;
    bool HasGroup(int groupId) const;
    // Inserts a group with a left-aligned header where `compare` places it;
    // its index, or -1.
    int InsertGroupSorted(int groupId, const std::string& header, PFNLVGROUPCOMPARE compare,
                          void* compareData) const;
    // Like InsertItem, into a group.
    int InsertItem(int index, const std::string& text, int image, LPARAM data, int groupId) const;

protected:
    HWND m_hwnd = nullptr;

private:
    int InsertRow(int index, const std::string& text, int image, LPARAM data, const int* groupId) const;
};
