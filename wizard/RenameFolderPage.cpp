#include "RenameFolderPage.h"

#include "PathRules.h"
#include "Text.h"
#include "resource.h"

#include <shlwapi.h>

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
    const std::string& current = GetCurrentPath();
    const std::string& name = GetInput();
    if (!::PathFileExistsA(current.c_str()))
        return Refuse(IDS_SOURCE_MISSING);
    if (name.empty())
        return Refuse(IDS_TARGET_INVALID);
    if (IsSameText(name, GetLastComponent(current)))
        return Refuse(IDS_SAME_SOURCE_TARGET);
    // Without a destination the operation would be a deletion.
    std::string target;
    if (!JoinPath(GetParentFolder(current), name, target))
        return Refuse(IDS_TARGET_INVALID);
    if (::PathFileExistsA(target.c_str()))
        return Refuse(IDS_TARGET_EXISTS);
    return AddOperation(current, target, nullptr);
}
