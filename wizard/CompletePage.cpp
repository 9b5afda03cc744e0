#include "CompletePage.h"

#include "resource.h"

CCompletePage::CCompletePage() : CWizardPage(IDD_COMPLETE)
{
}

bool CCompletePage::OnSetActive()
{
    SetWizardButtons(PSWIZB_BACK | PSWIZB_FINISH);
    return CWizardPage::OnSetActive();
}
