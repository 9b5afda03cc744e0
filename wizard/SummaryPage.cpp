#include "SummaryPage.h"

#include "FileInfo.h"
#include "VessraSheet.h"
#include "WizardMessages.h"
#include "resource.h"

CSummaryPage::CSummaryPage(CVessraSheet& sheet)
    : CWizardPage(IDD_SUMMARY, IDS_SUMMARY_PAGE_TITLE, IDS_SUMMARY_PAGE_SUBTITLE), m_sheet(sheet)
{
}

BOOL CSummaryPage::OnInitDialog()
{
    CWizardPage::OnInitDialog();
    // Both act on a selected line of the operation tree; nothing is selected yet.
    EnableItem(IDC_REMOVE, false);
    EnableItem(IDC_SHOW_PROCESSES, false);
    return TRUE;
}

bool CSummaryPage::OnSetActive()
{
    SetWizardButtons(PSWIZB_NEXT);
    return CWizardPage::OnSetActive();
}

bool CSummaryPage::OnCommand(WORD id, WORD code, HWND control)
{
    if (id == IDC_ADD && code == BN_CLICKED)
    {
        CSelectPage& selectPage = m_sheet.GetSelectPage();
        selectPage.SetPath(std::string());
        m_sheet.SetActivePage(selectPage);
        return true;
    }
    return CWizardPage::OnCommand(id, code, control);
}

LRESULT CSummaryPage::OnWizardNext()
{
    CFileInfoList& operations = m_sheet.GetOperations();
    if (operations.IsEmpty())
        return WizardDefault;
    if (ShowMessage(IDS_CONFIRM_PROCESS, MB_YESNO | MB_ICONQUESTION) != IDYES)
        return WizardStay;
    if (!operations.Process())
        ShowMessage(IDS_PROCESS_ERROR, MB_ICONEXCLAMATION);
    return WizardDefault;
}
