#include "wizard/PendingPage.h"

#include "engine/FileInfo.h"
#include "resources/orvgui/resource.h"
#include "window/WizardMessages.h"
#include "window/WizardSheet.h"
#include "wizard/VessraSheet.h"

CPendingPage::CPendingPage(CVessraSheet& sheet)
    : CWizardPage(IDD_PENDING, IDS_PENDING_PAGE_TITLE, IDS_PENDING_PAGE_SUBTITLE), m_sheet(sheet)
{
}

BOOL CPendingPage::OnInitDialog()
{
    CWizardPage::OnInitDialog();
    SetBoldFont(IDC_PENDING_KEEP, IDC_PENDING_IGNORE);
    ::CheckRadioButton(GetHwnd(), IDC_PENDING_KEEP, IDC_PENDING_IGNORE, IDC_PENDING_IGNORE);
    return TRUE;
}

bool CPendingPage::OnSetActive()
{
    SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
    return CWizardPage::OnSetActive();
}

LRESULT CPendingPage::OnWizardNext()
{
    if (IsItemChecked(IDC_PENDING_KEEP))
    {
        // An earlier "Enlever", undone by Back.
        m_sheet.GetOperations().LeavePending();
        return IDD_SUMMARY;
    }
    if (IsItemChecked(IDC_PENDING_REMOVE))
    {
        // The run carries the operations out as orvline /pending does. A
        // queue that cannot be written would have them carried out now and
        // again at the restart: the user is told why and chooses again.
        CFileInfoList& operations = m_sheet.GetOperations();
        if (operations.TakeOverPending())
            return IDD_SUMMARY;
        const SQueueFailure& failure = operations.GetQueueFailure();
        ShowMessageText(AppendErrorText(LoadResourceText(IDS_PROCESS_ERROR) + "\n" + failure.what, failure.code),
                        MB_ICONHAND);
        return WizardStay;
    }
    if (IsItemChecked(IDC_PENDING_IGNORE))
    {
        m_sheet.GetOperations().RemoveAll();
        return WizardDefault;
    }
    return WizardStay;
}
