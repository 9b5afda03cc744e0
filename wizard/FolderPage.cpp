#include "wizard/FolderPage.h"

#include "engine/FileInfo.h"
#include "engine/Text.h"
#include "resources/orvgui/resource.h"
#include "window/WizardMessages.h"
#include "wizard/LongTask.h"
#include "wizard/VessraSheet.h"

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
    ShowItem(IDC_PROGRESS_TEXT, false);
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
    CFileInfoList& operations = m_sheet.GetOperations();
    const std::size_t before = operations.GetCount();
    bool added = false;
    bool cancelled = false;
    {
        CLongTask task(m_sheet, *this, PSWIZB_BACK | PSWIZB_NEXT, IDC_PROGRESS_TEXT, IDS_LISTING_PROGRESS);
        added = operations.AddFolder(path, &task);
        cancelled = task.IsCancelled();
    }
    if (cancelled)
    {
        // Nothing of a tree the user stopped listing is kept: a part of it
        // would delete some of the folder's content and leave the rest.
        operations.RemoveFrom(before);
        SetItemText(IDC_PROGRESS_TEXT, LoadResourceText(IDS_LISTING_CANCELLED));
        ShowItem(IDC_PROGRESS_TEXT, true);
        return WizardStay;
    }
    // Operations added before a failure stay in the list.
    if (!added)
    {
        ShowError(IDS_CANNOT_ADD);
        return WizardStay;
    }
    return IDD_SUMMARY;
}
