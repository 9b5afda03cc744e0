// The operations already queued for the restart: take them over and keep
// the system's queue, take them over and clear it, or ignore them.
#pragma once

#include "window/WizardPage.h"

class CVessraSheet;

class CPendingPage : public CWizardPage
{
public:
    explicit CPendingPage(CVessraSheet& sheet);

protected:
    BOOL OnInitDialog() override;
    bool OnSetActive() override;
    LRESULT OnWizardNext() override;

private:
    CVessraSheet& m_sheet;
};
