#include "RenameFilePage.h"

#include "PathRules.h"
#include "Text.h"
#include "resource.h"

#include <shlwapi.h>

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
    const std::string& current = GetCurrentPath();
    const std::string& name = GetInput();
    if (!::PathFileExistsA(current.c_str()))
        return Refuse(IDS_SOURCE_MISSING);
    if (name.empty())
        return Refuse(IDS_TARGET_INVALID);
    if (IsSameText(name, GetLastComponent(current)))
        return Refuse(IDS_SAME_SOURCE_TARGET);
    if (!HaveSameExtension(current, name) && !Confirm(IDS_CONFIRM_EXTENSION_DIFFERS))
        return WizardStay;
    // A target that does not fit a path buffer would leave the operation
    // without a destination, which is a deletion.
    std::string target;
    if (!JoinPath(GetParentFolder(current), name, target))
        return Refuse(IDS_TARGET_INVALID);
    if (::PathFileExistsA(target.c_str()))
        return Refuse(IDS_TARGET_EXISTS);
    return AddOperation(current, target, TakeRegistryEntry());
}
