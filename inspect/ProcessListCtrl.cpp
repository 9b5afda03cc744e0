#include "inspect/ProcessListCtrl.h"

#include "engine/SystemServices.h"
#include "engine/Text.h"
#include "inspect/HandleRelease.h"
#include "inspect/ProcessManager.h"
#include "resources/orvgui/resource.h"
#include "window/Subclass.h"
#include "window/WizardMessages.h"
#include "window/WizardText.h"

#include <shellapi.h>

#include <algorithm>
#include <vector>

namespace
{

const char kObjectProperty[] = "OrvProcessListCtrl";

// Overlay image 1 marks a row whose process could not be ended.
constexpr int kFailureOverlay = 1;

// As much of the text as the tip buffer holds, always terminated.
template <typename Char>
void FillTipText(const std::basic_string<Char>& text, Char* buffer, int capacity)
{
    if (!buffer || capacity <= 0)
        return;
    const std::size_t length = std::min<std::size_t>(text.size(), static_cast<std::size_t>(capacity) - 1);
    std::copy_n(text.data(), length, buffer);
    buffer[length] = Char();
}

} // namespace

CProcessListCtrl::~CProcessListCtrl()
{
    Detach();
}

bool CProcessListCtrl::SubclassWindow(HWND hwnd)
{
    Detach();
    if (!hwnd || !::SetPropA(hwnd, kObjectProperty, this))
        return false;
    if (!SubclassControl(hwnd, WindowProc))
    {
        ::RemovePropA(hwnd, kObjectProperty);
        return false;
    }
    Attach(hwnd);
    SetExtendedStyle(LVS_EX_INFOTIP | LVS_EX_FULLROWSELECT);
    SetupColumns();
    return true;
}

void CProcessListCtrl::Detach()
{
    if (!m_hwnd)
        return;
    FreeRecords();
    // The list would destroy the image list that this object owns.
    SetImageList(nullptr, LVSIL_SMALL);
    // The window procedure stays until the window goes: without the object
    // it hands every message to the list's own.
    ::RemovePropA(m_hwnd, kObjectProperty);
    m_hwnd = nullptr;
}

void CProcessListCtrl::SetupColumns()
{
    RECT client{};
    ::GetClientRect(m_hwnd, &client);
    const int width = client.right - client.left - ::GetSystemMetrics(SM_CXVSCROLL) - 5;
    struct SColumn
    {
        int format;
        int percent;
    };
    static const SColumn columns[] = {{LVCFMT_LEFT, 35}, {LVCFMT_CENTER, 15}, {LVCFMT_LEFT, 50}};
    const std::vector<std::string> titles = SplitColumnTitles(LoadResourceText(IDS_PROCESS_COLUMNS));
    for (std::size_t i = 0; i < titles.size() && i < sizeof(columns) / sizeof(columns[0]); ++i)
        InsertColumn(static_cast<int>(i), titles[i], columns[i].format, width * columns[i].percent / 100);
}

void CProcessListCtrl::RebuildImageList()
{
    SetImageList(nullptr, LVSIL_SMALL);
    m_images.Reset(::ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 0, 4));
    if (!m_images)
        return;
    CImageList strip(::ImageList_LoadImageA(::GetModuleHandleA(nullptr),
                                            MAKEINTRESOURCEA(IDB_PROCESS_IMAGES), 16, 0,
                                            IMG_MASK_COLOR, IMAGE_BITMAP, LR_CREATEDIBSECTION));
    if (strip)
    {
        CIcon warning(::ImageList_GetIcon(strip.Get(), IMG_PROCESS_WARNING, ILD_NORMAL));
        const int image = warning ? ::ImageList_AddIcon(m_images.Get(), warning.Get()) : -1;
        if (image >= 0)
            ::ImageList_SetOverlayImage(m_images.Get(), image, kFailureOverlay);
    }
    SetImageList(m_images.Get(), LVSIL_SMALL);
}

void CProcessListCtrl::FillList(const std::string& path)
{
    DeleteAllRows();
    RebuildImageList();

    CProcessList records;
    CProcessManager manager;
    if (!manager.EnumerateHolders(path, records))
        return; // the list stays empty; no message
    for (auto& record : records)
        InsertRecord(std::move(record));
    Sort(0);
}

bool CProcessListCtrl::InsertRecord(std::unique_ptr<CProcess> record)
{
    if (!record)
        return false;
    int image = -1;
    SHFILEINFOA info{};
    if (::SHGetFileInfoA(record->GetImagePath().c_str(), 0, &info, sizeof(info),
                         SHGFI_ICON | SHGFI_SMALLICON) &&
        info.hIcon)
    {
        CIcon icon(info.hIcon);
        if (m_images)
            image = ::ImageList_AddIcon(m_images.Get(), icon.Get());
    }
    const int item = InsertItem(GetItemCount(), record->GetImageName(), image,
                                reinterpret_cast<LPARAM>(record.get()));
    if (item < 0)
        return false;
    CProcess* row = record.release();
    SetItemText(item, 1, FormatProcessId(row->GetProcessId(), IsWindowsNT()));
    SetItemText(item, 2, FormatHolderDescription(row->GetDescription(), row->GetHeldAs()));
    return true;
}

void CProcessListCtrl::DeleteAllRows()
{
    // Freed here rather than only on the deletion notices, which reach this
    // object only through its parent.
    FreeRecords();
    DeleteAllItems();
}

void CProcessListCtrl::DeleteRow(int item)
{
    delete GetRecord(item);
    SetItemData(item, 0);
    DeleteItem(item);
}

void CProcessListCtrl::FreeRecords()
{
    const int count = GetItemCount();
    for (int item = 0; item < count; ++item)
    {
        delete GetRecord(item);
        SetItemData(item, 0);
    }
}

void CProcessListCtrl::Sort(int column)
{
    SortItems(CompareRows, column);
}

int CALLBACK CProcessListCtrl::CompareRows(LPARAM a, LPARAM b, LPARAM column)
{
    const auto* first = reinterpret_cast<const CProcess*>(a);
    const auto* second = reinterpret_cast<const CProcess*>(b);
    if (!first || !second)
        return first ? 1 : second ? -1 : 0;
    return CompareProcesses(*first, *second, static_cast<int>(column));
}

void CProcessListCtrl::TerminateSelected()
{
    // Each pass clears the selection of the row it handles: that ends the loop.
    for (int item; (item = GetSelectedItem()) >= 0;)
    {
        SetItemState(item, 0, LVIS_SELECTED);
        CProcess* record = GetRecord(item);
        if (!record)
            continue;
        if (record->IsOwnProcess())
        {
            ShowMessage(IDS_CANNOT_TERMINATE_SELF, MB_ICONEXCLAMATION);
            continue;
        }
        if (record->Terminate())
        {
            DeleteRow(item);
            continue;
        }
        SetItemState(item, INDEXTOOVERLAYMASK(kFailureOverlay), LVIS_OVERLAYMASK);
        ShowMessage(IDS_CANNOT_TERMINATE, MB_ICONHAND, record->GetImageName().c_str(),
                    GetErrorText(record->GetErrorCode()).c_str());
    }
}

bool CProcessListCtrl::CanRelease(int item) const
{
    const CProcess* record = GetRecord(item);
    return record && (record->GetHeldAs() & HeldOpen) != 0 && !record->GetOpenHandles().empty();
}

void CProcessListCtrl::ReleaseSelected(const std::string& path)
{
    std::vector<DWORD> failed;
    bool asked = false;
    for (int item; (item = GetSelectedItem()) >= 0;)
    {
        SetItemState(item, 0, LVIS_SELECTED);
        CProcess* record = GetRecord(item);
        if (!record || !CanRelease(item))
            continue;
        const std::string name = record->GetImageName();
        switch (GetReleaseRule(record->GetProcessId(), record->GetImagePath()))
        {
        case ReleaseRefusedCritical:
            ShowMessage(IDS_RELEASE_CRITICAL, MB_ICONEXCLAMATION, name.c_str());
            continue;
        case ReleaseRefusedOwn:
            ShowMessage(IDS_RELEASE_SELF, MB_ICONEXCLAMATION);
            continue;
        case ReleaseAllowed:
            break;
        }
        if (ShowMessage(IDS_CONFIRM_RELEASE, MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2, name.c_str()) != IDYES)
            continue;
        asked = true;
        if (record->ReleaseHandles(path))
            continue;
        failed.push_back(record->GetProcessId());
        ShowMessage(IDS_CANNOT_RELEASE, MB_ICONHAND, name.c_str(), GetErrorText(record->GetErrorCode()).c_str());
    }
    if (!asked)
        return;
    // A process that held it only open leaves the list; one that also has
    // it loaded stays, and says so.
    FillList(path);
    for (int item = 0; item < GetItemCount(); ++item)
    {
        const CProcess* record = GetRecord(item);
        if (record && std::find(failed.begin(), failed.end(), record->GetProcessId()) != failed.end())
            SetItemState(item, INDEXTOOVERLAYMASK(kFailureOverlay), LVIS_OVERLAYMASK);
    }
}

std::string CProcessListCtrl::GetInfoText(int item) const
{
    const CProcess* record = GetRecord(item);
    return record ? record->GetInfoText() : std::string();
}

bool CProcessListCtrl::HandleNotify(const NMHDR& header, LRESULT& result)
{
    if (header.hwndFrom != m_hwnd || !m_hwnd)
        return false;
    switch (header.code)
    {
    case LVN_DELETEITEM:
    {
        const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
        delete reinterpret_cast<CProcess*>(change.lParam);
        result = 0;
        return true;
    }
    case LVN_GETINFOTIPA:
    {
        const auto& tip = reinterpret_cast<const NMLVGETINFOTIPA&>(header);
        FillTipText(GetInfoText(tip.iItem), tip.pszText, tip.cchTextMax);
        result = 0;
        return true;
    }
    case LVN_GETINFOTIPW:
    {
        const auto& tip = reinterpret_cast<const NMLVGETINFOTIPW&>(header);
        FillTipText(AnsiToWide(GetInfoText(tip.iItem)), tip.pszText, tip.cchTextMax);
        result = 0;
        return true;
    }
    default:
        return false;
    }
}

void CProcessListCtrl::PaintEmptyText()
{
    const HDC dc = ::GetDC(m_hwnd);
    if (!dc)
        return;
    DrawEmptyText(dc, LoadResourceText(IDS_NO_PROCESS));
    ::ReleaseDC(m_hwnd, dc);
}

LRESULT CALLBACK CProcessListCtrl::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* list = static_cast<CProcessListCtrl*>(::GetPropA(hwnd, kObjectProperty));
    if (!list)
        return CallControlProc(hwnd, message, wParam, lParam);

    switch (message)
    {
    case WM_PAINT:
    {
        const LRESULT result = CallControlProc(hwnd, message, wParam, lParam);
        if (list->GetItemCount() == 0)
            list->PaintEmptyText();
        return result;
    }
    case WM_NOTIFY:
    {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header && header->hwndFrom == list->GetHeader() &&
            (header->code == HDN_ITEMCLICKA || header->code == HDN_ITEMCLICKW))
        {
            // Always ascending: a second click sorts the same way.
            list->Sort(reinterpret_cast<const NMHEADERA*>(header)->iItem);
        }
        break;
    }
    case WM_GETDLGCODE:
    {
        // Enter on a row stays with the list, which ends nothing with it;
        // the dialog would press the sheet's default button (Back).
        const auto* key = reinterpret_cast<const MSG*>(lParam);
        const LRESULT code = CallControlProc(hwnd, message, wParam, lParam);
        if (key && key->message == WM_KEYDOWN && key->wParam == VK_RETURN)
            return code | DLGC_WANTMESSAGE;
        return code;
    }
    case WM_DESTROY:
        list->Detach();
        return CallControlProc(hwnd, message, wParam, lParam);
    default:
        break;
    }
    return CallControlProc(hwnd, message, wParam, lParam);
}
