#include "wizard/FilePage.h"

#include "engine/FileInfo.h"
#include "resources/orvgui/resource.h"
#include "window/WizardMessages.h"
#include "wizard/VessraSheet.h"

#include <shlwapi.h>

CFilePage::CFilePage(CVessraSheet& sheet)
    : CWizardPage(IDD_FILE_ACTION, IDS_FILE_PAGE_TITLE, IDS_FILE_PAGE_SUBTITLE), m_sheet(sheet)
{
}

BOOL CFilePage::OnInitDialog()
{
    // Once only: later visits keep the last choice.
    CWizardPage::OnInitDialog();
    SetBoldFont(IDC_FILE_DELETE, IDC_FILE_MOVE);
    ::CheckRadioButton(GetHwnd(), IDC_FILE_DELETE, IDC_FILE_MOVE, IDC_FILE_DELETE);
    return TRUE;
}

bool CFilePage::OnSetActive()
{
    SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
    return CWizardPage::OnSetActive();
}

LRESULT CFilePage::OnWizardNext()
{
    if (IsItemChecked(IDC_FILE_DELETE))
        return AddDeletion();
    if (IsItemChecked(IDC_FILE_RENAME))
        return IDD_RENAME_FILE;
    if (IsItemChecked(IDC_FILE_REPLACE))
        return IDD_REPLACE_FILE;
    if (IsItemChecked(IDC_FILE_MOVE))
        return IDD_MOVE_FILE;
    return WizardStay;
}

LRESULT CFilePage::OnWizardBack()
{
    return IDD_SELECT;
}

LRESULT CFilePage::AddDeletion()
{
    CSelectPage& selectPage = m_sheet.GetSelectPage();
    const std::string& path = selectPage.GetPath();
    if (!::PathFileExistsA(path.c_str()))
    {
        ShowMessage(IDS_SOURCE_MISSING, MB_ICONHAND);
        return WizardStay;
    }
    if (!m_sheet.GetOperations().Add(path, std::string(), selectPage.TakeRegistryEntry()))
    {
        ShowError(IDS_CANNOT_ADD);
        return WizardStay;
    }
    return IDD_SUMMARY;
}
