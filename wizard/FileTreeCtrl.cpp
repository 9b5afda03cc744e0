#include "FileTreeCtrl.h"

#include "FileInfo.h"
#include "Text.h"
#include "resource.h"

namespace
{

const char kBaseProcProperty[] = "OrvFileTreeBaseProc";

LRESULT CALLBACK TreeProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    const auto base = reinterpret_cast<WNDPROC>(::GetPropA(hwnd, kBaseProcProperty));
    if (!base)
        return ::DefWindowProcA(hwnd, message, wParam, lParam);
    switch (message)
    {
    case WM_SYSKEYDOWN:
        // Some tree views (Wine's) take a key pressed with Alt for one of
        // their own, and Alt+F4 would never reach the sheet from here.
        return ::DefWindowProcA(hwnd, message, wParam, lParam);
    case WM_NCDESTROY:
        ::SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(base));
        ::RemovePropA(hwnd, kBaseProcProperty);
        break;
    default:
        break;
    }
    return ::CallWindowProcA(base, hwnd, message, wParam, lParam);
}

} // namespace

bool CFileTreeCtrl::SubclassWindow(HWND hwnd)
{
    Attach(hwnd);
    if (!hwnd || ::GetPropA(hwnd, kBaseProcProperty))
        return hwnd != nullptr;
    const LONG_PTR base = ::GetWindowLongPtrA(hwnd, GWLP_WNDPROC);
    if (!base || !::SetPropA(hwnd, kBaseProcProperty, reinterpret_cast<HANDLE>(base)))
        return false;
    ::SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(TreeProc));
    return true;
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

HTREEITEM CFileTreeCtrl::InsertOperation(CFileInfo& operation) const
{
    const int image = operation.GetImage();
    const HTREEITEM top =
        InsertItem(TVI_ROOT, operation.GetActionText(), image, reinterpret_cast<LPARAM>(&operation));
    if (!top)
        return nullptr;
    SetItemState(top, INDEXTOOVERLAYMASK(operation.GetOverlay()), TVIS_OVERLAYMASK);

    if (!operation.GetDestination().empty())
        InsertChild(top, operation.GetTargetText(), image);
    if (operation.GetRegistryEntry())
        InsertChild(top, operation.GetRegistryText(), IMG_TREE_REGISTRY);
    InsertChild(top, operation.GetStatusText(), IMG_TREE_INFO);
    if (operation.IsProtected())
        InsertChild(top, LoadResourceText(IDS_PROTECTED_FILE), IMG_TREE_PROTECTED);

    Expand(top, TVE_EXPAND);
    EnsureVisible(top);
    return top;
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

bool CFileTreeCtrl::Fill(const CFileInfoList& operations) const
{
    DeleteAllItems();
    bool filled = true;
    for (std::size_t i = 0; i < operations.GetCount() && filled; ++i)
        filled = InsertOperation(*operations.GetAt(i)) != nullptr;
    // Bringing a long line into view scrolls the tree sideways, past the
    // pictures and their outcome marks.
    ScrollToLeft();
    return filled;
}
