#include "window/ListView.h"

#include "engine/Text.h"
#include "window/TextDrawing.h"

#include <vector>

void CListView::SetExtendedStyle(DWORD style) const
{
    ::SendMessageA(m_hwnd, LVM_SETEXTENDEDLISTVIEWSTYLE, style, style);
}

int CListView::InsertColumn(int index, const std::string& text, int format, int width) const
{
    LVCOLUMNA column{};
    column.mask = LVCF_TEXT | LVCF_FMT | LVCF_WIDTH | LVCF_SUBITEM;
    column.fmt = format;
    column.cx = width;
    column.pszText = const_cast<char*>(text.c_str());
    column.iSubItem = index;
    return static_cast<int>(
        ::SendMessageA(m_hwnd, LVM_INSERTCOLUMNA, index, reinterpret_cast<LPARAM>(&column)));
}

int CListView::GetColumnCount() const
{
    const HWND header = GetHeader();
    return header ? static_cast<int>(::SendMessageA(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
}

void CListView::SetImageList(HIMAGELIST images, int which) const
{
    ::SendMessageA(m_hwnd, LVM_SETIMAGELIST, which, reinterpret_cast<LPARAM>(images));
}

int CListView::GetItemCount() const
{
    return static_cast<int>(::SendMessageA(m_hwnd, LVM_GETITEMCOUNT, 0, 0));
}

int CListView::InsertItem(int index, const std::string& text, int image, LPARAM data) const
{
    return InsertRow(index, text, image, data, nullptr);
}

bool CListView::SetItemText(int item, int column, const std::string& text) const
{
    LVITEMA row{};
    row.iSubItem = column;
    row.pszText = const_cast<char*>(text.c_str());
    return ::SendMessageA(m_hwnd, LVM_SETITEMTEXTA, item, reinterpret_cast<LPARAM>(&row)) != FALSE;
}

std::string CListView::GetItemText(int item, int column) const
{
    // The control answers with the length it copied; a full buffer may mean
    // a longer text, so grow until it fits.
    for (std::size_t size = 256; size <= 64 * 1024; size *= 4)
    {
        std::vector<char> buffer(size, '\0');
        LVITEMA row{};
        row.iSubItem = column;
        row.pszText = buffer.data();
        row.cchTextMax = static_cast<int>(buffer.size());
        const LRESULT length =
            ::SendMessageA(m_hwnd, LVM_GETITEMTEXTA, item, reinterpret_cast<LPARAM>(&row));
        if (length < 0)
            return std::string();
        if (static_cast<std::size_t>(length) < size - 1)
            return std::string(buffer.data(), static_cast<std::size_t>(length));
    }
    return std::string();
}

LPARAM CListView::GetItemData(int item) const
{
    LVITEMA row{};
    row.mask = LVIF_PARAM;
    row.iItem = item;
    if (!::SendMessageA(m_hwnd, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&row)))
        return 0;
    return row.lParam;
}

bool CListView::SetItemData(int item, LPARAM data) const
{
    LVITEMA row{};
    row.mask = LVIF_PARAM;
    row.iItem = item;
    row.lParam = data;
    return ::SendMessageA(m_hwnd, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&row)) != FALSE;
}

bool CListView::DeleteItem(int item) const
{
    return ::SendMessageA(m_hwnd, LVM_DELETEITEM, item, 0) != FALSE;
}

bool CListView::DeleteAllItems() const
{
    return ::SendMessageA(m_hwnd, LVM_DELETEALLITEMS, 0, 0) != FALSE;
}

int CListView::GetNextItem(int start, UINT flags) const
{
    return static_cast<int>(::SendMessageA(m_hwnd, LVM_GETNEXTITEM, start, MAKELPARAM(flags, 0)));
}

int CListView::GetSelectedCount() const
{
    return static_cast<int>(::SendMessageA(m_hwnd, LVM_GETSELECTEDCOUNT, 0, 0));
}

bool CListView::SetItemState(int item, UINT state, UINT mask) const
{
    LVITEMA row{};
    row.state = state;
    row.stateMask = mask;
    return ::SendMessageA(m_hwnd, LVM_SETITEMSTATE, item, reinterpret_cast<LPARAM>(&row)) != FALSE;
}

int CListView::FindItemData(LPARAM data) const
{
    LVFINDINFOA find{};
    find.flags = LVFI_PARAM;
    find.lParam = data;
    return static_cast<int>(::SendMessageA(m_hwnd, LVM_FINDITEMA, static_cast<WPARAM>(-1),
                                           reinterpret_cast<LPARAM>(&find)));
}

bool CListView::SelectItem(int item) const
{
    SetItemState(-1, 0, LVIS_SELECTED);
    return SetItemState(item, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED) &&
           ::SendMessageA(m_hwnd, LVM_ENSUREVISIBLE, item, FALSE) != FALSE;
}

UINT CListView::GetItemState(int item, UINT mask) const
{
    return static_cast<UINT>(::SendMessageA(m_hwnd, LVM_GETITEMSTATE, item, mask));
}

bool CListView::SortItems(PFNLVCOMPARE compare, LPARAM sortData) const
{
    return ::SendMessageA(m_hwnd, LVM_SORTITEMS, sortData, reinterpret_cast<LPARAM>(compare)) != FALSE;
}

HWND CListView::GetHeader() const
{
    return reinterpret_cast<HWND>(::SendMessageA(m_hwnd, LVM_GETHEADER, 0, 0));
}

bool CListView::SetColumnWidth(int column, int width) const
{
    return ::SendMessageA(m_hwnd, LVM_SETCOLUMNWIDTH, column, MAKELPARAM(width, 0)) != FALSE;
}

int CListView::GetColumnWidth(int column) const
{
    return static_cast<int>(::SendMessageA(m_hwnd, LVM_GETCOLUMNWIDTH, column, 0));
}

bool CListView::EnableGroupView(bool enable) const
{
    // 0 or 1 when the control knows groups; -1 when it cannot show them.
    return ::SendMessageA(m_hwnd, LVM_ENABLEGROUPVIEW, enable ? TRUE : FALSE, 0) != -1 &&
           IsGroupViewEnabled() == enable;
}

bool CListView::IsGroupViewEnabled() const
{
    return ::SendMessageA(m_hwnd, LVM_ISGROUPVIEWENABLED, 0, 0) != FALSE;
}

bool CListView::HasGroup(int groupId) const
{
    return ::SendMessageA(m_hwnd, LVM_HASGROUP, groupId, 0) != FALSE;
}

int CListView::InsertGroupSorted(int groupId, const std::string& header, PFNLVGROUPCOMPARE compare,
                                 void* compareData) const
{
    std::wstring wideHeader = AnsiToWide(header);
    LVINSERTGROUPSORTED insert{};
    insert.pfnGroupCompare = compare;
    insert.pvData = compareData;
    insert.lvGroup.cbSize = sizeof(insert.lvGroup);
    insert.lvGroup.mask = LVGF_HEADER | LVGF_GROUPID | LVGF_ALIGN;
    insert.lvGroup.pszHeader = &wideHeader[0];
    insert.lvGroup.iGroupId = groupId;
    insert.lvGroup.uAlign = LVGA_HEADER_LEFT;
    return static_cast<int>(
        ::SendMessageA(m_hwnd, LVM_INSERTGROUPSORTED, reinterpret_cast<WPARAM>(&insert), 0));
}

int CListView::InsertItem(int index, const std::string& text, int image, LPARAM data, int groupId) const
{
    return InsertRow(index, text, image, data, &groupId);
}

int CListView::InsertRow(int index, const std::string& text, int image, LPARAM data,
                         const int* groupId) const
{
    LVITEMA item{};
    // A row without a picture says so: left out, the image would be the
    // list's first one.
    item.mask = LVIF_TEXT | LVIF_PARAM | LVIF_IMAGE;
    // Only a control with group view knows the group field.
    if (groupId)
    {
        item.mask |= LVIF_GROUPID;
        item.iGroupId = *groupId;
    }
    item.iItem = index;
    item.pszText = const_cast<char*>(text.c_str());
    item.iImage = image >= 0 ? image : I_IMAGENONE;
    item.lParam = data;
    return static_cast<int>(::SendMessageA(m_hwnd, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
}

void CListView::DrawEmptyText(HDC dc, const std::string& text) const
{
    RECT area{};
    ::GetClientRect(m_hwnd, &area);
    RECT headerItem{};
    if (const HWND header = GetHeader())
        ::SendMessageA(header, HDM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&headerItem));
    area.top = headerItem.bottom + 10;

    const int saved = ::SaveDC(dc);
    ::FillRect(dc, &area, ::GetSysColorBrush(COLOR_WINDOW));
    ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageA(m_hwnd, WM_GETFONT, 0, 0)));
    ::SetTextColor(dc, ::GetSysColor(COLOR_WINDOWTEXT));
    ::SetBkMode(dc, TRANSPARENT);
    DrawNarrowText(dc, text, &area, DT_CENTER | DT_WORDBREAK | DT_NOPREFIX | DT_NOCLIP);
    ::RestoreDC(dc, saved);
}
