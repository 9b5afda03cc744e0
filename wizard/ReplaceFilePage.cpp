#include "ReplaceFilePage.h"

#include "resource.h"

CReplaceFilePage::CReplaceFilePage() : CWizardPage(IDD_REPLACE_FILE, IDS_REPLACE_PAGE_TITLE, IDS_REPLACE_PAGE_SUBTITLE)
{
}

LRESULT CReplaceFilePage::OnWizardNext()
{
    // Nothing is added before the destination has passed its checks.
    return WizardStay;
}

LRESULT CReplaceFilePage::OnWizardBack()
{
    return IDD_FILE_ACTION;
}
