// The last page of the normal path, after the operations ran: Back returns
// to the summary, Finish closes the wizard.
#pragma once

#include "WizardPage.h"

class CCompletePage : public CWizardPage
{
public:
    CCompletePage();

protected:
    bool OnSetActive() override;
};
