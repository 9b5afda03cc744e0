#include "RenameFolderPage.h"

#include "resource.h"

CRenameFolderPage::CRenameFolderPage() : CWizardPage(IDD_RENAME_FOLDER, IDS_RENAME_FOLDER_PAGE_TITLE, IDS_RENAME_FOLDER_PAGE_SUBTITLE)
{
}

LRESULT CRenameFolderPage::OnWizardNext()
{
    // Nothing is added before the destination has passed its checks.
    return WizardStay;
}

LRESULT CRenameFolderPage::OnWizardBack()
{
    return IDD_FOLDER_ACTION;
}
