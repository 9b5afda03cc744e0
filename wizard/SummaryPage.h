// The hub of the wizard: the operations listed so far; more can be added,
// and Next runs them all.
#pragma once

#include "WizardPage.h"

class CVessraSheet;

class CSummaryPage : public CWizardPage
{
public:
    explicit CSummaryPage(CVessraSheet& sheet);

protected:
    BOOL OnInitDialog() override;
    bool OnSetActive() override;
    bool OnCommand(WORD id, WORD code, HWND control) override;
    LRESULT OnWizardNext() override;

private:
    CVessraSheet& m_sheet;
};
