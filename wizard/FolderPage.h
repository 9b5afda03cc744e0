// The action on a folder: delete the whole tree now (it joins the list), or
// go on to the rename or move page.
#pragma once

#include "window/WizardPage.h"

class CVessraSheet;

class CFolderPage : public CWizardPage
{
public:
    explicit CFolderPage(CVessraSheet& sheet);

protected:
    BOOL OnInitDialog() override;
    bool OnSetActive() override;
    LRESULT OnWizardNext() override;
    LRESULT OnWizardBack() override;

private:
    LRESULT AddTreeDeletion();

    CVessraSheet& m_sheet;
};
