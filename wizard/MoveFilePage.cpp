#include "wizard/MoveFilePage.h"

#include "engine/ObjectPath.h"
#include "engine/SystemServices.h"
#include "resources/orvgui/resource.h"
#include "wizard/PathRules.h"

#include <shlwapi.h>

CMoveFilePage::CMoveFilePage(CVessraSheet& sheet)
    : CDestinationPage(sheet, IDD_MOVE_FILE, IDS_MOVE_FILE_PAGE_TITLE, IDS_MOVE_FILE_PAGE_SUBTITLE,
                       InputFolder, IDC_MOVE_DESTINATION, IDD_FILE_ACTION)
{
}

void CMoveFilePage::ShowCurrent()
{
    SetItemText(IDC_CURRENT_PATH, GetCurrentPath());
}

LRESULT CMoveFilePage::CheckAndAdd()
{
    const std::string& current = GetCurrentPath();
    const std::string& folder = GetInput();
    if (!::PathFileExistsA(current.c_str()))
        return Refuse(IDS_SOURCE_MISSING);
    if (folder.empty())
        return Refuse(IDS_TARGET_INVALID);
    if (!::PathIsDirectoryA(folder.c_str()))
        return Refuse(IDS_TARGET_FOLDER_MISSING);
    if (!IsWindowsNT() && !HaveSameRoot(current, folder))
        return Refuse(IDS_DIFFERENT_DRIVES_9X);
    // The input is a folder, whatever its name looks like ("backup.old"):
    // the file always goes into it.
    std::string target;
    if (!JoinPath(folder, GetLastComponent(current), target))
        return Refuse(IDS_TARGET_INVALID);
    // The folder it is in, under any spelling.
    if (IsSameFolder(current, target) || IsSameObject(current, target))
        return Refuse(IDS_SAME_SOURCE_TARGET);
    return AddOperation(current, target, TakeRegistryEntry());
}
