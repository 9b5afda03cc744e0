// A thin wrapper over a tree-view control that a dialog owns: the calls the
// operation tree makes, without SendMessage at every call site.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>

class CTreeView
{
public:
    CTreeView() = default;
    virtual ~CTreeView() = default;

    CTreeView(const CTreeView&) = delete;
    CTreeView& operator=(const CTreeView&) = delete;

    void Attach(HWND hwnd) { m_hwnd = hwnd; }
    HWND GetHwnd() const { return m_hwnd; }

    void SetImageList(HIMAGELIST images, int which) const;

    // Appends an item under the parent (TVI_ROOT for the top level); image
    // < 0 leaves the item without a picture. Its handle, or null.
    HTREEITEM InsertItem(HTREEITEM parent, const std::string& text, int image, LPARAM data) const;
    // The same with every field of the description that its mask names.
    HTREEITEM InsertItem(HTREEITEM parent, const TVITEMA& item) const;
    bool DeleteItem(HTREEITEM item) const;
    bool DeleteAllItems() const;

    // TVGN_ROOT, TVGN_CHILD, TVGN_NEXT, TVGN_PARENT, TVGN_CARET, ...
    HTREEITEM GetNextItem(HTREEITEM item, UINT code) const;
    HTREEITEM GetRootItem() const { return GetNextItem(nullptr, TVGN_ROOT); }
    HTREEITEM GetChildItem(HTREEITEM item) const { return GetNextItem(item, TVGN_CHILD); }
    HTREEITEM GetNextSiblingItem(HTREEITEM item) const { return GetNextItem(item, TVGN_NEXT); }
    HTREEITEM GetParentItem(HTREEITEM item) const { return GetNextItem(item, TVGN_PARENT); }
    HTREEITEM GetSelectedItem() const { return GetNextItem(nullptr, TVGN_CARET); }
    bool SelectItem(HTREEITEM item) const;

    std::string GetItemText(HTREEITEM item) const;
    LPARAM GetItemData(HTREEITEM item) const;
    bool SetItemState(HTREEITEM item, UINT state, UINT mask) const;
    UINT GetItemState(HTREEITEM item, UINT mask) const;
    int GetCount() const;

    bool Expand(HTREEITEM item, UINT code) const;
    bool EnsureVisible(HTREEITEM item) const;
    // Back to the start of the lines, where their pictures are.
    void ScrollToLeft() const;

    // Off while many items change: the control then neither lays out nor
    // paints after each change, and catches up once when it is back on.
    void SetRedraw(bool redraw) const;

protected:
    HWND m_hwnd = nullptr;
};
