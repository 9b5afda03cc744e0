// The place that a folder moves to. The page keeps the Back and Next buttons that
// the action page set; Back returns to that page.
#pragma once

#include "WizardPage.h"

class CMoveFolderPage : public CWizardPage
{
public:
    CMoveFolderPage();

protected:
    LRESULT OnWizardNext() override;
    LRESULT OnWizardBack() override;
};
