#include "wizard/MoveFolderPage.h"

#include "engine/ObjectPath.h"
#include "resources/orvgui/resource.h"
#include "wizard/PathRules.h"

#include <shlwapi.h>

CMoveFolderPage::CMoveFolderPage(CVessraSheet& sheet)
    : CDestinationPage(sheet, IDD_MOVE_FOLDER, IDS_MOVE_FOLDER_PAGE_TITLE, IDS_MOVE_FOLDER_PAGE_SUBTITLE,
                       InputFolder, IDC_MOVE_DESTINATION, IDD_FOLDER_ACTION)
{
}

void CMoveFolderPage::ShowCurrent()
{
    SetItemText(IDC_CURRENT_FOLDER_PATH, GetCurrentPath());
}

LRESULT CMoveFolderPage::CheckAndAdd()
{
    const std::string& current = GetCurrentPath();
    const std::string& destination = GetInput();
    if (!::PathIsDirectoryA(current.c_str()))
        return Refuse(IDS_SOURCE_MISSING);
    if (destination.empty())
        return Refuse(IDS_TARGET_INVALID);
    // A folder moves only within its drive; "c:\data" and "C:\backup" are
    // on the same one.
    if (!HaveSameRoot(current, destination))
        return Refuse(IDS_SAME_DRIVE_REQUIRED);
    // "C:\d\f\" and a short name of it are the folder itself.
    if (IsSameObject(current, destination))
        return Refuse(IDS_SAME_SOURCE_TARGET);
    std::string target;
    if (!JoinPath(destination, GetLastComponent(current), target))
        return Refuse(IDS_TARGET_INVALID);
    if (::PathIsDirectoryA(target.c_str()))
        return Refuse(IDS_TARGET_EXISTS);
    return AddOperation(current, target, nullptr);
}
