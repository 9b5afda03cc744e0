// The new name of a file. The page keeps the Back and Next buttons that
// the action page set; Back returns to that page.
#pragma once

#include "WizardPage.h"

class CRenameFilePage : public CWizardPage
{
public:
    CRenameFilePage();

protected:
    LRESULT OnWizardNext() override;
    LRESULT OnWizardBack() override;
};
