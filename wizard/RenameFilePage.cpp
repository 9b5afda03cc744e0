#include "wizard/RenameFilePage.h"

#include "resources/orvgui/resource.h"
#include "wizard/PathRules.h"

CRenameFilePage::CRenameFilePage(CVessraSheet& sheet)
    : CDestinationPage(sheet, IDD_RENAME_FILE, IDS_RENAME_FILE_PAGE_TITLE, IDS_RENAME_FILE_PAGE_SUBTITLE,
                       InputName, IDC_NEW_FILE_NAME, IDD_FILE_ACTION)
{
}

void CRenameFilePage::ShowCurrent()
{
    SetItemText(IDC_CURRENT_FILE_NAME, GetLastComponent(GetCurrentPath()));
}

LRESULT CRenameFilePage::CheckAndAdd()
{
    std::string target;
    LRESULT answer = WizardStay;
    if (!CheckNewName(true, target, answer))
        return answer;
    return AddOperation(GetCurrentPath(), target, TakeRegistryEntry());
}
