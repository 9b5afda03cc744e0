#include "wizard/ReplaceFilePage.h"

#include "engine/ModuleVersion.h"
#include "engine/ObjectPath.h"
#include "engine/SystemServices.h"
#include "engine/Text.h"
#include "resources/orvgui/resource.h"
#include "wizard/PathRules.h"

#include <shlwapi.h>

CReplaceFilePage::CReplaceFilePage(CVessraSheet& sheet)
    : CDestinationPage(sheet, IDD_REPLACE_FILE, IDS_REPLACE_PAGE_TITLE, IDS_REPLACE_PAGE_SUBTITLE,
                       InputFile, IDC_REPLACEMENT_PATH, IDD_FILE_ACTION)
{
}

void CReplaceFilePage::ShowCurrent()
{
    SetItemText(IDC_CURRENT_PATH, GetCurrentPath());
    CModuleVersion version;
    SetItemText(IDC_FILE_VERSION, version.LoadFromFile(GetCurrentPath())
                                      ? FormatFileVersion(version.dwFileVersionMS, version.dwFileVersionLS)
                                      : LoadResourceText(IDS_NOT_AVAILABLE));
}

LRESULT CReplaceFilePage::CheckAndAdd()
{
    const std::string& current = GetCurrentPath();
    const std::string& replacement = GetInput();
    if (!::PathFileExistsA(current.c_str()))
        return Refuse(IDS_SOURCE_MISSING);
    if (replacement.empty())
        return Refuse(IDS_TARGET_INVALID);
    if (!IsSameText(GetLastComponent(current), GetLastComponent(replacement)) &&
        !Confirm(IDS_CONFIRM_NAME_DIFFERS))
        return WizardStay;
    if (IsSameObject(current, replacement))
        return Refuse(IDS_SAME_SOURCE_TARGET);
    if (!IsWindowsNT() && !HaveSameRoot(current, replacement))
        return Refuse(IDS_DIFFERENT_DRIVES_9X, MB_ICONEXCLAMATION);
    if (!IsNotOlderVersion(current, replacement) && !Confirm(IDS_CONFIRM_DOWNGRADE))
        return WizardStay;
    // The new file is the source; the file replaced is the destination.
    return AddOperation(replacement, current, TakeRegistryEntry());
}
