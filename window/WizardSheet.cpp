#include "window/WizardSheet.h"

#include "engine/Text.h"
#include "window/WizardPage.h"

#include <algorithm>

namespace
{

const char kSheetProperty[] = "CWizardSheet.this";

// Posted to the sheet itself; the pages use WM_APP + 1 and + 2 of their own.
const UINT kRepaintMessage = WM_APP + 0x100;

// The sheet whose property sheet is being created on this thread: the
// creation callback carries no pointer of its own.
thread_local CWizardSheet* t_sheetInCreation = nullptr;

// The fixed head of an extended dialog template.
#pragma pack(push, 2)
struct SDialogTemplateEx
{
    WORD dlgVer;
    WORD signature;
    DWORD helpID;
    DWORD exStyle;
    DWORD style;
};
#pragma pack(pop)

void AddTemplateStyle(void* dialogTemplate, DWORD style)
{
    auto* extended = static_cast<SDialogTemplateEx*>(dialogTemplate);
    if (extended->signature == 0xFFFF)
        extended->style |= style;
    else
        static_cast<DLGTEMPLATE*>(dialogTemplate)->style |= style;
}

} // namespace

CWizardSheet::CWizardSheet(UINT captionId, HWND parent, UINT startPage, UINT watermarkId,
                           UINT headerId, UINT titleFaceId, int bigTitleId)
    : m_caption(LoadResourceText(captionId)),
      m_parent(parent),
      m_startPage(startPage),
      m_titleFaceId(titleFaceId),
      m_bigTitleId(bigTitleId)
{
    const HINSTANCE instance = ::GetModuleHandleA(nullptr);
    m_watermark.Reset(::LoadBitmapA(instance, MAKEINTRESOURCEA(watermarkId)));
    m_header.Reset(::LoadBitmapA(instance, MAKEINTRESOURCEA(headerId)));
}

void CWizardSheet::AddPage(CWizardPage& page)
{
    m_pages.push_back(&page);
}

INT_PTR CWizardSheet::DoModal()
{
    std::vector<HPROPSHEETPAGE> handles;
    handles.reserve(m_pages.size());
    for (CWizardPage* page : m_pages)
    {
        const HPROPSHEETPAGE handle = page->CreatePageHandle(*this);
        if (!handle)
        {
            const DWORD error = ::GetLastError();
            for (HPROPSHEETPAGE created : handles)
                ::DestroyPropertySheetPage(created);
            ::SetLastError(error);
            return -1;
        }
        handles.push_back(handle);
    }

    PROPSHEETHEADERA header = {};
    header.dwSize = sizeof(header);
    header.dwFlags = PSH_WIZARD97 | PSH_WATERMARK | PSH_HEADER | PSH_USEHBMWATERMARK |
                     PSH_USEHBMHEADER | PSH_USECALLBACK;
    header.hwndParent = m_parent;
    header.hInstance = ::GetModuleHandleA(nullptr);
    header.pszCaption = m_caption.c_str();
    header.nPages = static_cast<UINT>(handles.size());
    header.nStartPage = m_startPage;
    header.phpage = handles.data();
    header.pfnCallback = SheetCallback;
    header.hbmWatermark = static_cast<HBITMAP>(m_watermark.Get());
    header.hbmHeader = static_cast<HBITMAP>(m_header.Get());

    // The property sheet owns the page handles from here on.
    CWizardSheet* const outer = t_sheetInCreation;
    t_sheetInCreation = this;
    m_closing = false;
    const INT_PTR result = ::PropertySheetA(&header);
    t_sheetInCreation = outer;
    return result;
}

bool CWizardSheet::SetActivePage(const CWizardPage& page) const
{
    const auto found = std::find(m_pages.begin(), m_pages.end(), &page);
    if (!m_hwnd || found == m_pages.end())
        return false;
    const auto index = static_cast<WPARAM>(found - m_pages.begin());
    return ::SendMessageA(m_hwnd, PSM_SETCURSEL, index, 0) != 0;
}

void CWizardSheet::PostRepaint() const
{
    if (m_hwnd)
        ::PostMessageA(m_hwnd, kRepaintMessage, 0, 0);
}

void CWizardSheet::OnInitDialog()
{
}

bool CWizardSheet::OnCancel()
{
    return true;
}

bool CWizardSheet::OnClose()
{
    return true;
}

void CWizardSheet::CreateFonts()
{
    NONCLIENTMETRICSA metrics = {};
    metrics.cbSize = sizeof(metrics);
    if (!::SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0))
        return;

    LOGFONTA bold = metrics.lfMessageFont;
    bold.lfWeight = FW_BOLD;
    m_boldFont.Reset(::CreateFontIndirectA(&bold));

    LOGFONTA title = metrics.lfMessageFont;
    CopyToBuffer(LoadResourceText(m_titleFaceId), title.lfFaceName);
    const HDC screen = ::GetDC(nullptr);
    const int pixelsPerInch = screen ? ::GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen)
        ::ReleaseDC(nullptr, screen);
    title.lfHeight = -::MulDiv(12, pixelsPerInch, 72);
    title.lfWeight = FW_BOLD;
    m_titleFont.Reset(::CreateFontIndirectA(&title));
}

void CWizardSheet::Attach(HWND hwnd)
{
    m_hwnd = hwnd;
    ::SetPropA(hwnd, kSheetProperty, this);
    m_baseProc = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SheetProc)));
    CreateFonts();
    ::SetWindowTextA(hwnd, m_caption.c_str());
    OnInitDialog();
}

LRESULT CWizardSheet::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    const HWND hwnd = m_hwnd;
    const WNDPROC base = m_baseProc;
    switch (message)
    {
    case WM_COMMAND:
        // Once a close was agreed to, the cancel it turns into is not asked again.
        if (LOWORD(wParam) == IDCANCEL && !m_closing && !OnCancel())
            return 0;
        break;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_CLOSE)
        {
            if (!OnClose())
                return 0;
            m_closing = true;
        }
        break;
    case kRepaintMessage:
        // Some property sheets (Wine's) invalidate only the new page when an
        // exterior and an interior page follow each other, leaving parts of
        // the old header or watermark on the screen.
        ::RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
        return 0;
    case WM_NCDESTROY:
        ::SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(base));
        ::RemovePropA(hwnd, kSheetProperty);
        m_hwnd = nullptr;
        m_baseProc = nullptr;
        break;
    default:
        break;
    }
    return ::CallWindowProcA(base, hwnd, message, wParam, lParam);
}

int CALLBACK CWizardSheet::SheetCallback(HWND hwnd, UINT message, LPARAM lParam)
{
    CWizardSheet* const sheet = t_sheetInCreation;
    if (!sheet)
        return 0;
    try
    {
        if (message == PSCB_PRECREATE && lParam)
            AddTemplateStyle(reinterpret_cast<void*>(lParam), WS_MINIMIZEBOX);
        else if (message == PSCB_INITIALIZED)
            sheet->Attach(hwnd);
    }
    catch (...)
    {
        // Nothing may leave a callback of the system.
    }
    return 0;
}

LRESULT CALLBACK CWizardSheet::SheetProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* sheet = static_cast<CWizardSheet*>(::GetPropA(hwnd, kSheetProperty));
    if (!sheet || !sheet->m_baseProc)
        return ::DefWindowProcA(hwnd, message, wParam, lParam);
    try
    {
        return sheet->HandleMessage(message, wParam, lParam);
    }
    catch (...)
    {
        return 0;
    }
}
