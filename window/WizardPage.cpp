#include "window/WizardPage.h"

#include "window/WizardSheet.h"

CWizardPage::CWizardPage(UINT dialogId) : CDialog(dialogId), m_exterior(true)
{
}

CWizardPage::CWizardPage(UINT dialogId, UINT headerTitleId, UINT headerSubtitleId)
    : CDialog(dialogId), m_exterior(false), m_headerTitleId(headerTitleId), m_headerSubtitleId(headerSubtitleId)
{
}

HPROPSHEETPAGE CWizardPage::CreatePageHandle(CWizardSheet& sheet)
{
    m_sheet = &sheet;

    PROPSHEETPAGEA page = {};
    page.dwSize = sizeof(page);
    page.hInstance = ::GetModuleHandleA(nullptr);
    page.pszTemplate = MAKEINTRESOURCEA(GetDialogId());
    page.pfnDlgProc = PageProc;
    page.lParam = reinterpret_cast<LPARAM>(this);
    if (m_exterior)
    {
        page.dwFlags = PSP_HIDEHEADER;
    }
    else
    {
        // By id: the sheet reads the texts from the string table as they are
        // stored, whatever the code page of narrow texts (Wine's sheet reads
        // narrow header texts in the system's code page, not in the UTF-8
        // of this process).
        page.dwFlags = PSP_USEHEADERTITLE | PSP_USEHEADERSUBTITLE;
        page.pszHeaderTitle = MAKEINTRESOURCEA(m_headerTitleId);
        page.pszHeaderSubTitle = MAKEINTRESOURCEA(m_headerSubtitleId);
    }
    return ::CreatePropertySheetPageA(&page);
}

BOOL CWizardPage::OnInitDialog()
{
    if (m_exterior)
    {
        ::SendDlgItemMessageA(GetHwnd(), GetSheet().GetBigTitleId(), WM_SETFONT,
                              reinterpret_cast<WPARAM>(GetSheet().GetTitleFont()), TRUE);
    }
    return TRUE;
}

bool CWizardPage::OnCommand(WORD /*id*/, WORD /*code*/, HWND /*control*/)
{
    return false;
}

bool CWizardPage::OnNotify(const NMHDR& header, LRESULT& result)
{
    switch (header.code)
    {
    case PSN_SETACTIVE:
        result = OnSetActive() ? 0 : -1;
        if (result == 0)
            GetSheet().PostRepaint();
        return true;
    case PSN_WIZNEXT:
        result = OnWizardNext();
        return true;
    case PSN_WIZBACK:
        result = OnWizardBack();
        return true;
    case PSN_WIZFINISH:
        result = OnWizardFinish() ? FALSE : TRUE;
        return true;
    default:
        return false;
    }
}

bool CWizardPage::OnSetActive()
{
    return true;
}

LRESULT CWizardPage::OnWizardNext()
{
    return WizardDefault;
}

LRESULT CWizardPage::OnWizardBack()
{
    return WizardDefault;
}

bool CWizardPage::OnWizardFinish()
{
    return true;
}

void CWizardPage::SetWizardButtons(DWORD buttons) const
{
    ::PostMessageA(::GetParent(GetHwnd()), PSM_SETWIZBUTTONS, 0, static_cast<LPARAM>(buttons));
}

void CWizardPage::SetBoldFont(int firstId, int lastId) const
{
    const WPARAM font = reinterpret_cast<WPARAM>(GetSheet().GetBoldFont());
    for (int id = firstId; id <= lastId; ++id)
        ::SendDlgItemMessageA(GetHwnd(), id, WM_SETFONT, font, TRUE);
}

INT_PTR CALLBACK CWizardPage::PageProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    // WM_INITDIALOG carries the sheet's copy of the page description, whose
    // lParam is the object.
    CDialog* page = FromHandle(hwnd);
    if (message == WM_INITDIALOG)
    {
        const auto* description = reinterpret_cast<const PROPSHEETPAGEA*>(lParam);
        page = description ? reinterpret_cast<CWizardPage*>(description->lParam) : nullptr;
    }
    return Dispatch(page, hwnd, message, wParam, lParam);
}
