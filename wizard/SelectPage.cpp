#include "SelectPage.h"

#include "FileInfo.h"
#include "Text.h"
#include "VessraSheet.h"
#include "WizardMessages.h"
#include "WizardText.h"
#include "resource.h"

#include <shlwapi.h>

CSelectPage::CSelectPage(CVessraSheet& sheet)
    : CWizardPage(IDD_SELECT, IDS_SELECT_PAGE_TITLE, IDS_SELECT_PAGE_SUBTITLE), m_sheet(sheet)
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
    return TRUE;
}

bool CSelectPage::OnSetActive()
{
    SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
    return CWizardPage::OnSetActive();
}

LRESULT CSelectPage::OnWizardNext()
{
    m_path = TrimText(GetItemText(IDC_SELECT_PATH));
    ::SetFocus(GetItem(IDC_SELECT_PATH));

    // A path longer than a path buffer cannot name anything; the shell's
    // path calls are not handed one.
    if (m_path.empty() || !FitsPath(m_path))
    {
        ShowMessage(IDS_SOURCE_INVALID, MB_ICONHAND);
        return WizardStay;
    }
    if (m_sheet.GetOperations().Contains(m_path))
    {
        ShowMessage(IDS_ALREADY_IN_LIST, MB_ICONHAND);
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
