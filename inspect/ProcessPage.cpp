#include "ProcessPage.h"

#include "resource.h"

CProcessPage::CProcessPage()
    : CWizardPage(IDD_PROCESSES, IDS_PROCESS_PAGE_TITLE, IDS_PROCESS_PAGE_SUBTITLE)
{
}

bool CProcessPage::OnSetActive()
{
    SetWizardButtons(PSWIZB_BACK);
    return CWizardPage::OnSetActive();
}

LRESULT CProcessPage::OnWizardBack()
{
    return IDD_SUMMARY;
}
