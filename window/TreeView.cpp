#include "window/TreeView.h"

#include <vector>

void CTreeView::SetImageList(HIMAGELIST images, int which) const
{
    ::SendMessageA(m_hwnd, TVM_SETIMAGELIST, which, reinterpret_cast<LPARAM>(images));
}

HTREEITEM CTreeView::InsertItem(HTREEITEM parent, const std::string& text, int image, LPARAM data) const
{
    TVITEMA item{};
    item.mask = TVIF_TEXT | TVIF_PARAM;
    if (image >= 0)
    {
        item.mask |= TVIF_IMAGE | TVIF_SELECTEDIMAGE;
        item.iImage = image;
        item.iSelectedImage = image;
    }
    item.pszText = const_cast<char*>(text.c_str());
    item.lParam = data;
    return InsertItem(parent, item);
}

HTREEITEM CTreeView::InsertItem(HTREEITEM parent, const TVITEMA& item) const
{
    TVINSERTSTRUCTA insert{};
    insert.hParent = parent;
    insert.hInsertAfter = TVI_LAST;
    insert.item = item;
    return reinterpret_cast<HTREEITEM>(
        ::SendMessageA(m_hwnd, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
}

bool CTreeView::DeleteItem(HTREEITEM item) const
{
    return ::SendMessageA(m_hwnd, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(item)) != FALSE;
}

bool CTreeView::DeleteAllItems() const
{
    return DeleteItem(TVI_ROOT);
}

HTREEITEM CTreeView::GetNextItem(HTREEITEM item, UINT code) const
{
    return reinterpret_cast<HTREEITEM>(
        ::SendMessageA(m_hwnd, TVM_GETNEXTITEM, code, reinterpret_cast<LPARAM>(item)));
}

bool CTreeView::SelectItem(HTREEITEM item) const
{
    return ::SendMessageA(m_hwnd, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item)) != FALSE;
}

std::string CTreeView::GetItemText(HTREEITEM item) const
{
    // The control does not say how long the text is; a full buffer may mean
    // a longer one, so grow until it fits.
    for (std::size_t size = 256; size <= 64 * 1024; size *= 4)
    {
        std::vector<char> buffer(size, '\0');
        TVITEMA query{};
        query.mask = TVIF_TEXT | TVIF_HANDLE;
        query.hItem = item;
        query.pszText = buffer.data();
        query.cchTextMax = static_cast<int>(buffer.size());
        if (!::SendMessageA(m_hwnd, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&query)))
            return std::string();
        buffer.back() = '\0';
        const std::string text(query.pszText ? query.pszText : "");
        if (text.size() < size - 1)
            return text;
    }
    return std::string();
}

LPARAM CTreeView::GetItemData(HTREEITEM item) const
{
    TVITEMA query{};
    query.mask = TVIF_PARAM | TVIF_HANDLE;
    query.hItem = item;
    if (!item || !::SendMessageA(m_hwnd, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&query)))
        return 0;
    return query.lParam;
}

bool CTreeView::SetItemState(HTREEITEM item, UINT state, UINT mask) const
{
    TVITEMA change{};
    change.mask = TVIF_STATE | TVIF_HANDLE;
    change.hItem = item;
    change.state = state;
    change.stateMask = mask;
    return ::SendMessageA(m_hwnd, TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&change)) != FALSE;
}

UINT CTreeView::GetItemState(HTREEITEM item, UINT mask) const
{
    return static_cast<UINT>(
        ::SendMessageA(m_hwnd, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item), mask));
}

int CTreeView::GetCount() const
{
    return static_cast<int>(::SendMessageA(m_hwnd, TVM_GETCOUNT, 0, 0));
}

bool CTreeView::Expand(HTREEITEM item, UINT code) const
{
    return ::SendMessageA(m_hwnd, TVM_EXPAND, code, reinterpret_cast<LPARAM>(item)) != FALSE;
}

bool CTreeView::EnsureVisible(HTREEITEM item) const
{
    return ::SendMessageA(m_hwnd, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(item)) != FALSE;
}

void CTreeView::SetRedraw(bool redraw) const
{
    ::SendMessageA(m_hwnd, WM_SETREDRAW, redraw ? TRUE : FALSE, 0);
    if (redraw)
        ::InvalidateRect(m_hwnd, nullptr, TRUE);
}

void CTreeView::ScrollToLeft() const
{
    // A thumb position, which every tree view takes (Wine's ignores SB_LEFT).
    ::SendMessageA(m_hwnd, WM_HSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 0), 0);
}
