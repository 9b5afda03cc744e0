#include "wizard/WelcomePage.h"

#include "engine/Text.h"
#include "resources/orvgui/resource.h"
#include "window/WizardMessages.h"
#include "wizard/AboutDlg.h"
#include "wizard/ContextMenu.h"

CWelcomePage::CWelcomePage() : CWizardPage(IDD_WELCOME)
{
}

BOOL CWelcomePage::OnInitDialog()
{
    CWizardPage::OnInitDialog();
    UpdateContextMenuButton();
    return TRUE;
}

bool CWelcomePage::OnSetActive()
{
    SetWizardButtons(PSWIZB_NEXT);
    return CWizardPage::OnSetActive();
}

bool CWelcomePage::OnCommand(WORD id, WORD code, HWND control)
{
    if (code != BN_CLICKED)
        return CWizardPage::OnCommand(id, code, control);
    switch (id)
    {
    case IDC_CONTEXT_MENU:
        ToggleContextMenu();
        return true;
    case IDC_ABOUT:
    {
        CAboutDlg about;
        about.DoModal(GetHwnd());
        return true;
    }
    default:
        return CWizardPage::OnCommand(id, code, control);
    }
}

void CWelcomePage::ToggleContextMenu() const
{
    // A failure shows no message: the button text tells the outcome.
    if (IsContextMenuInstalled())
    {
        if (ShowMessage(IDS_CONFIRM_REMOVE_MENU, MB_YESNO | MB_ICONQUESTION) == IDYES)
            RemoveContextMenu();
    }
    else if (ShowMessage(IDS_CONFIRM_INSTALL_MENU, MB_YESNO | MB_ICONQUESTION) == IDYES)
    {
        InstallContextMenu();
    }
    UpdateContextMenuButton();
}

void CWelcomePage::UpdateContextMenuButton() const
{
    SetItemText(IDC_CONTEXT_MENU, LoadResourceText(IsContextMenuInstalled() ? IDS_CONTEXT_MENU_REMOVE
                                                                           : IDS_CONTEXT_MENU_INSTALL));
}
