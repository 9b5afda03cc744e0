#include "FolderPage.h"

#include "FileInfo.h"
#include "VessraSheet.h"
#include "WizardMessages.h"
#include "resource.h"

#include <shlwapi.h>

CFolderPage::CFolderPage(CVessraSheet& sheet)
    : CWizardPage(IDD_FOLDER_ACTION, IDS_FOLDER_PAGE_TITLE, IDS_FOLDER_PAGE_SUBTITLE), m_sheet(sheet)
{
}

BOOL CFolderPage::OnInitDialog()
{
    // Once only: later visits keep the last choice.
    CWizardPage::OnInitDialog();
    SetBoldFont(IDC_FOLDER_DELETE, IDC_FOLDER_MOVE);
    ::CheckRadioButton(GetHwnd(), IDC_FOLDER_DELETE, IDC_FOLDER_MOVE, IDC_FOLDER_DELETE);
    return TRUE;
}

bool CFolderPage::OnSetActive()
{
    SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
    return CWizardPage::OnSetActive();
}

LRESULT CFolderPage::OnWizardNext()
{
    if (IsItemChecked(IDC_FOLDER_DELETE))
        return AddTreeDeletion();
    if (IsItemChecked(IDC_FOLDER_RENAME))
        return IDD_RENAME_FOLDER;
    if (IsItemChecked(IDC_FOLDER_MOVE))
        return IDD_MOVE_FOLDER;
    return WizardStay;
}

LRESULT CFolderPage::OnWizardBack()
{
    return IDD_SELECT;
}

LRESULT CFolderPage::AddTreeDeletion()
{
    const std::string& path = m_sheet.GetSelectPage().GetPath();
    if (!::PathIsDirectoryA(path.c_str()))
    {
        ShowMessage(IDS_SOURCE_MISSING, MB_ICONHAND);
        return WizardStay;
    }
    // Operations added before a failure stay in the list.
    if (!m_sheet.GetOperations().AddFolder(path))
    {
        ShowError(IDS_CANNOT_ADD);
        return WizardStay;
    }
    return IDD_SUMMARY;
}
