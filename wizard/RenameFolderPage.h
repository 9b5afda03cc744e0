// The new name of a folder. The page keeps the Back and Next buttons that
// the action page set; Back returns to that page.
#pragma once

#include "WizardPage.h"

class CRenameFolderPage : public CWizardPage
{
public:
    CRenameFolderPage();

protected:
    LRESULT OnWizardNext() override;
    LRESULT OnWizardBack() override;
};
