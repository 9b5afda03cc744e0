#include "MoveFolderPage.h"

#include "resource.h"

CMoveFolderPage::CMoveFolderPage() : CWizardPage(IDD_MOVE_FOLDER, IDS_MOVE_FOLDER_PAGE_TITLE, IDS_MOVE_FOLDER_PAGE_SUBTITLE)
{
}

LRESULT CMoveFolderPage::OnWizardNext()
{
    // Nothing is added before the destination has passed its checks.
    return WizardStay;
}

LRESULT CMoveFolderPage::OnWizardBack()
{
    return IDD_FOLDER_ACTION;
}
