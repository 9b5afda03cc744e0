#include "wizard/FileTreeCtrl.h"

#include "engine/FileInfo.h"
#include "engine/Text.h"
#include "resources/orvgui/resource.h"
#include "window/Subclass.h"

#include <algorithm>
#include <new>

namespace
{

LRESULT CALLBACK TreeProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    // Some tree views (Wine's) take a key pressed with Alt for one of their
    // own, and Alt+F4 would never reach the sheet from here.
    if (message == WM_SYSKEYDOWN)
        return ::DefWindowProcA(hwnd, message, wParam, lParam);
    return CallControlProc(hwnd, message, wParam, lParam);
}

} // namespace

bool CFileTreeCtrl::SubclassWindow(HWND hwnd)
{
    Attach(hwnd);
    return SubclassControl(hwnd, TreeProc);
}

bool CFileTreeCtrl::Init()
{
    m_images.Reset(::ImageList_Create(16, 16, ILC_COLOR24 | ILC_MASK, IMG_TREE_COUNT, 0));
    if (!m_images)
        return false;
    CGdiObject strip(::LoadImageA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDB_TREE_IMAGES),
                                  IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    if (!strip ||
        ::ImageList_AddMasked(m_images.Get(), static_cast<HBITMAP>(strip.Get()), IMG_MASK_COLOR) < 0)
        return false;
    ::ImageList_SetOverlayImage(m_images.Get(), IMG_TREE_CHECK, 1);
    ::ImageList_SetOverlayImage(m_images.Get(), IMG_TREE_CROSS, 2);
    ::ImageList_SetOverlayImage(m_images.Get(), IMG_TREE_HOURGLASS, 3);
    SetImageList(m_images.Get(), TVSIL_NORMAL);
    return true;
}

HTREEITEM CFileTreeCtrl::InsertOperation(CFileInfo& operation)
{
    // One message per line: picture, outcome and expand button go with the
    // line itself, and every operation has at least its status line.
    const std::string text = operation.GetActionText();
    TVITEMA line{};
    line.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_STATE | TVIF_PARAM | TVIF_CHILDREN;
    line.pszText = const_cast<char*>(text.c_str());
    line.iImage = operation.GetImage();
    line.iSelectedImage = line.iImage;
    line.state = INDEXTOOVERLAYMASK(operation.GetOverlay());
    line.stateMask = TVIS_OVERLAYMASK;
    line.lParam = reinterpret_cast<LPARAM>(&operation);
    line.cChildren = 1;
    const HTREEITEM top = InsertItem(TVI_ROOT, line);
    if (!top)
        return nullptr;
    try
    {
        m_lines.push_back(SLine{top, &operation, operation.GetStatus(), operation.GetErrorCode()});
    }
    catch (const std::bad_alloc&)
    {
        DeleteItem(top);
        return nullptr;
    }
    return top;
}

void CFileTreeCtrl::InsertDetails(HTREEITEM top, const CFileInfo& operation) const
{
    if (!operation.GetDestination().empty())
        InsertChild(top, operation.GetTargetText(), operation.GetImage());
    if (operation.GetRegistryEntry())
        InsertChild(top, operation.GetRegistryText(), IMG_TREE_REGISTRY);
    InsertChild(top, operation.GetStatusText(), IMG_TREE_INFO);
    if (operation.IsProtected())
        InsertChild(top, LoadResourceText(IDS_PROTECTED_FILE), IMG_TREE_PROTECTED);
}

HTREEITEM CFileTreeCtrl::InsertChild(HTREEITEM parent, const std::string& text, int image) const
{
    return InsertItem(parent, text, image, 0);
}

CFileInfo* CFileTreeCtrl::GetOperation(HTREEITEM item) const
{
    if (!item)
        item = GetSelectedItem();
    return item ? reinterpret_cast<CFileInfo*>(GetItemData(item)) : nullptr;
}

bool CFileTreeCtrl::CanShowProcesses(HTREEITEM item) const
{
    if (!item)
        return false;
    const HTREEITEM parent = GetParentItem(item);
    if (!parent)
        return GetOperation(item) != nullptr;
    if (GetChildItem(parent) != item)
        return false;
    const CFileInfo* operation = GetOperation(parent);
    return operation && !operation->GetDestination().empty() && !operation->IsDirectory();
}

bool CFileTreeCtrl::Fill(const CFileInfoList& operations)
{
    SetRedraw(false);
    DeleteAllItems();
    m_lines.clear();
    return InsertOperations(operations, 0);
}

bool CFileTreeCtrl::Update(const CFileInfoList& operations)
{
    const auto shows = [&](std::size_t i) {
        const CFileInfo* operation = operations.GetAt(i);
        const SLine& line = m_lines[i];
        return line.operation == operation && line.status == operation->GetStatus() &&
               line.errorCode == operation->GetErrorCode();
    };
    std::size_t same = 0;
    while (same < m_lines.size() && same < operations.GetCount() && shows(same))
        ++same;
    // A run changes the outcome of most lines: changing each line would cost
    // the control a new layout per line, filling it again costs one.
    if (same < m_lines.size())
        return Fill(operations);
    if (same == operations.GetCount())
        return true;
    SetRedraw(false);
    return InsertOperations(operations, same);
}

bool CFileTreeCtrl::InsertOperations(const CFileInfoList& operations, std::size_t first)
{
    // Redraw is off: each line is only linked in, and the control lays the
    // whole tree out once when it is back on.
    const bool expand = operations.GetCount() <= kExpandedListLimit;
    bool inserted = true;
    HTREEITEM last = nullptr;
    for (std::size_t i = first; i < operations.GetCount(); ++i)
    {
        const HTREEITEM top = InsertOperation(*operations.GetAt(i));
        if (!top)
        {
            inserted = false;
            break;
        }
        if (expand)
            Expand(top, TVE_EXPAND);
        last = top;
    }
    SetRedraw(true);
    // The last operation added is the one the user has just defined.
    if (last)
        EnsureVisible(last);
    // Bringing a long line into view scrolls the tree sideways, past the
    // pictures and their outcome marks.
    ScrollToLeft();
    return inserted;
}

bool CFileTreeCtrl::DeleteOperation(HTREEITEM item)
{
    const auto found =
        std::find_if(m_lines.begin(), m_lines.end(), [&](const SLine& line) { return line.item == item; });
    if (found != m_lines.end())
        m_lines.erase(found);
    return DeleteItem(item);
}

bool CFileTreeCtrl::OnNotify(const NMHDR& header, LRESULT& result)
{
    if (header.hwndFrom != m_hwnd || (header.code != TVN_ITEMEXPANDINGA && header.code != TVN_ITEMEXPANDINGW))
        return false;
    // The item fields that matter here have the same place in both forms.
    const auto& change = reinterpret_cast<const NMTREEVIEWA&>(header);
    const auto* operation = reinterpret_cast<const CFileInfo*>(change.itemNew.lParam);
    if ((change.action & TVE_EXPAND) && operation && change.itemNew.hItem &&
        !GetChildItem(change.itemNew.hItem))
        InsertDetails(change.itemNew.hItem, *operation);
    result = FALSE;
    return true;
}
