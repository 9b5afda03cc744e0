// The replacement of a file by another one. The page keeps the Back and Next buttons that
// the action page set; Back returns to that page.
#pragma once

#include "WizardPage.h"

class CReplaceFilePage : public CWizardPage
{
public:
    CReplaceFilePage();

protected:
    LRESULT OnWizardNext() override;
    LRESULT OnWizardBack() override;
};
