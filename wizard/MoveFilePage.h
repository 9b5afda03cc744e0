// The folder that a file moves to. The page keeps the Back and Next buttons that
// the action page set; Back returns to that page.
#pragma once

#include "WizardPage.h"

class CMoveFilePage : public CWizardPage
{
public:
    CMoveFilePage();

protected:
    LRESULT OnWizardNext() override;
    LRESULT OnWizardBack() override;
};
