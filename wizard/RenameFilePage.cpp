#include "RenameFilePage.h"

#include "resource.h"

CRenameFilePage::CRenameFilePage() : CWizardPage(IDD_RENAME_FILE, IDS_RENAME_FILE_PAGE_TITLE, IDS_RENAME_FILE_PAGE_SUBTITLE)
{
}

LRESULT CRenameFilePage::OnWizardNext()
{
    // Nothing is added before the destination has passed its checks.
    return WizardStay;
}

LRESULT CRenameFilePage::OnWizardBack()
{
    return IDD_FILE_ACTION;
}
