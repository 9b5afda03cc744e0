#include "wizard/RenameFolderPage.h"

#include "resources/orvgui/resource.h"
#include "wizard/PathRules.h"

CRenameFolderPage::CRenameFolderPage(CVessraSheet& sheet)
    : CDestinationPage(sheet, IDD_RENAME_FOLDER, IDS_RENAME_FOLDER_PAGE_TITLE,
                       IDS_RENAME_FOLDER_PAGE_SUBTITLE, InputName, IDC_NEW_FOLDER_NAME, IDD_FOLDER_ACTION)
{
}

void CRenameFolderPage::ShowCurrent()
{
    SetItemText(IDC_CURRENT_FOLDER_NAME, GetLastComponent(GetCurrentPath()));
}

LRESULT CRenameFolderPage::CheckAndAdd()
{
    std::string target;
    LRESULT answer = WizardStay;
    if (!CheckNewName(false, target, answer))
        return answer;
    return AddOperation(GetCurrentPath(), target, nullptr);
}
