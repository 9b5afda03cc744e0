// First page: the welcome text, the context-menu toggle and the about box.
#pragma once

#include "window/WizardPage.h"

class CWelcomePage : public CWizardPage
{
public:
    CWelcomePage();

protected:
    BOOL OnInitDialog() override;
    bool OnSetActive() override;
    bool OnCommand(WORD id, WORD code, HWND control) override;

private:
    void ToggleContextMenu() const;
    // The button tells what the registry holds, not what was asked for.
    void UpdateContextMenuButton() const;
};
