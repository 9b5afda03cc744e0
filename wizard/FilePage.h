// The action on a file: delete it now (it joins the list), or go on to the
// rename, replace or move page.
#pragma once

#include "window/WizardPage.h"

class CVessraSheet;

class CFilePage : public CWizardPage
{
public:
    explicit CFilePage(CVessraSheet& sheet);

protected:
    BOOL OnInitDialog() override;
    bool OnSetActive() override;
    LRESULT OnWizardNext() override;
    LRESULT OnWizardBack() override;

private:
    LRESULT AddDeletion();

    CVessraSheet& m_sheet;
};
