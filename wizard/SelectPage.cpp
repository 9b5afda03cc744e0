#include "wizard/SelectPage.h"

#include "engine/FileInfo.h"
#include "engine/ObjectPath.h"
#include "engine/Text.h"
#include "inspect/SelectRegistryFileDlg.h"
#include "resources/orvgui/resource.h"
#include "window/WizardMessages.h"
#include "window/WizardText.h"
#include "wizard/PathRules.h"
#include "wizard/ShellChoosers.h"
#include "wizard/VessraSheet.h"

#include <shlwapi.h>

CSelectPage::CSelectPage(CVessraSheet& sheet)
    : CDropPage(IDD_SELECT, IDS_SELECT_PAGE_TITLE, IDS_SELECT_PAGE_SUBTITLE), m_sheet(sheet)
{
}

void CSelectPage::SetPath(const std::string& path)
{
    m_path = path;
    if (GetHwnd())
        SetItemText(IDC_SELECT_PATH, m_path);
}

BOOL CSelectPage::OnInitDialog()
{
    CWizardPage::OnInitDialog();
    SetItemText(IDC_SELECT_PATH, m_path);
    AcceptDrops();
    return TRUE;
}

bool CSelectPage::OnSetActive()
{
    SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
    return CWizardPage::OnSetActive();
}

bool CSelectPage::OnCommand(WORD id, WORD code, HWND control)
{
    switch (id)
    {
    case IDC_SELECT_BROWSE:
        if (code != BN_CLICKED)
            break;
        ShowSelectMenu();
        return true;
    case IDM_SELECT_FILE:
        OnSelectFile();
        return true;
    case IDM_SELECT_REGISTRY_FILE:
        OnSelectFromRegistry();
        return true;
    case IDM_SELECT_FOLDER:
        OnSelectFolder();
        return true;
    default:
        break;
    }
    return CWizardPage::OnCommand(id, code, control);
}

void CSelectPage::ShowSelectMenu() const
{
    const HMENU menu = ::LoadMenuA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_SELECT_MENU));
    if (!menu)
        return;
    // Under the button, its left edges aligned; the choice arrives as a command.
    RECT button{};
    ::GetWindowRect(GetItem(IDC_SELECT_BROWSE), &button);
    ::TrackPopupMenu(::GetSubMenu(menu, 0), TPM_LEFTALIGN | TPM_TOPALIGN | TPM_LEFTBUTTON,
                     button.left, button.bottom, 0, GetHwnd(), nullptr);
    ::DestroyMenu(menu);
}

void CSelectPage::OnSelectFile()
{
    std::string path;
    if (ChooseOpenFile(GetHwnd(), path))
        SetItemText(IDC_SELECT_PATH, path);
}

void CSelectPage::OnSelectFromRegistry()
{
    CSelectRegistryFileDlg dialog;
    if (dialog.DoModal(GetHwnd()) != IDOK)
        return;
    // None when the link is not kept: the entry held before goes either way.
    SetRegistryEntry(dialog.TakeSelectedEntry());
    SetItemText(IDC_SELECT_PATH, dialog.GetSelectedFilePath());
}

void CSelectPage::OnSelectFolder()
{
    std::string path;
    if (ChooseFolder(GetHwnd(), path))
        SetItemText(IDC_SELECT_PATH, path);
}

void CSelectPage::OnFilesDropped(const std::vector<std::string>& paths)
{
    if (!paths.empty())
        SetItemText(IDC_SELECT_PATH, paths.front());
}

LRESULT CSelectPage::OnWizardNext()
{
    m_path = ResolveSysnative(TrimBlanks(GetItemText(IDC_SELECT_PATH)));
    FocusItem(IDC_SELECT_PATH);

    // A path longer than a path buffer cannot name anything; the shell's
    // path calls are not handed one. A relative one would be read against
    // whatever folder the wizard was started in.
    if (m_path.empty() || !FitsPath(m_path) || !IsFullPath(m_path))
    {
        ShowMessage(IDS_SOURCE_INVALID, MB_ICONHAND);
        return WizardStay;
    }
    if (m_sheet.GetOperations().Contains(m_path))
    {
        ShowMessage(IDS_ALREADY_IN_LIST, MB_ICONHAND);
        return WizardStay;
    }
    // Emptied or moved, these would take the system with them, whatever
    // the spelling that names them.
    if (HoldsSystemFolder(m_path))
    {
        ShowMessage(IDS_SYSTEM_FOLDER, MB_ICONHAND);
        return WizardStay;
    }
    // Nor the folder the wizard stands in, or one above it: the wizard
    // itself holds it.
    if (HoldsCurrentFolder(m_path))
    {
        ShowMessage(IDS_CURRENT_FOLDER, MB_ICONHAND);
        return WizardStay;
    }
    if (::PathIsDirectoryA(m_path.c_str()))
    {
        m_registryEntry.reset();
        return IDD_FOLDER_ACTION;
    }
    if (::PathFileExistsA(m_path.c_str()))
    {
        // The entry travels only with the file it was chosen for.
        if (m_registryEntry && !IsSameText(m_registryEntry->GetFilePath(), m_path))
            m_registryEntry.reset();
        return IDD_FILE_ACTION;
    }
    ShowMessage(IDS_SOURCE_MISSING, MB_ICONHAND);
    return WizardStay;
}

LRESULT CSelectPage::OnWizardBack()
{
    return m_sheet.GetOperations().IsEmpty() ? IDD_WELCOME : IDD_SUMMARY;
}
