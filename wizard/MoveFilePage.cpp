#include "MoveFilePage.h"

#include "resource.h"

CMoveFilePage::CMoveFilePage() : CWizardPage(IDD_MOVE_FILE, IDS_MOVE_FILE_PAGE_TITLE, IDS_MOVE_FILE_PAGE_SUBTITLE)
{
}

LRESULT CMoveFilePage::OnWizardNext()
{
    // Nothing is added before the destination has passed its checks.
    return WizardStay;
}

LRESULT CMoveFilePage::OnWizardBack()
{
    return IDD_FILE_ACTION;
}
