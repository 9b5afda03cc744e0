#include "wizard/CompletePage.h"

#include "engine/FileInfo.h"
#include "engine/Report.h"
#include "engine/SystemServices.h"
#include "engine/Text.h"
#include "resources/orvgui/resource.h"
#include "wizard/VessraSheet.h"

#include <shellapi.h>
#include <shlwapi.h>

namespace
{

// An operation that failed, or that a stopped run never reached.
bool HasFailure(const CFileInfoList& operations)
{
    for (std::size_t i = 0; i < operations.GetCount(); ++i)
    {
        const LONG status = operations.GetAt(i)->GetStatus();
        if (status == StatusFailed || status == StatusNotProcessed)
            return true;
    }
    return false;
}

} // namespace

CCompletePage::CCompletePage(CVessraSheet& sheet) : CWizardPage(IDD_COMPLETE), m_sheet(sheet)
{
}

BOOL CCompletePage::OnInitDialog()
{
    CWizardPage::OnInitDialog();
    m_successText = GetItemText(IDC_RESULT_TEXT);
    m_resultWidth = GetItemWidth(IDC_RESULT_TEXT);
    m_reportPath = GetReportFilePath();
    return TRUE;
}

bool CCompletePage::OnSetActive()
{
    const CFileInfoList& operations = m_sheet.GetOperations();
    // Every visit adds a dated report of the list as it stands; a report
    // that cannot be written is not a reason to stop here.
    if (!m_reportPath.empty())
        operations.WriteReport(m_reportPath);
    m_restartNeeded = operations.IsRestartNeeded();

    ShowItem(IDC_SHOW_REPORT, !m_reportPath.empty() && ::PathFileExistsA(m_reportPath.c_str()));
    ShowItem(IDC_RESTART_TEXT, m_restartNeeded);
    ShowItem(IDC_NO_RESTART, m_restartNeeded);
    // After a failure, or a run stopped halfway, the success sentence would
    // not be true.
    SetItemText(IDC_RESULT_TEXT,
                HasFailure(operations) ? LoadResourceText(IDS_RESULT_FAILED) : m_successText);
    // A last word alone on its line ("d'infos.") reads apart from the
    // words it belongs to ("pour + d'infos.").
    FitItemText(IDC_RESULT_TEXT, m_resultWidth);

    SetWizardButtons(PSWIZB_BACK | PSWIZB_FINISH);
    return CWizardPage::OnSetActive();
}

bool CCompletePage::OnCommand(WORD id, WORD code, HWND control)
{
    if (id == IDC_SHOW_REPORT && code == BN_CLICKED)
    {
        ShowReport();
        return true;
    }
    return CWizardPage::OnCommand(id, code, control);
}

void CCompletePage::ShowReport() const
{
    if (m_reportPath.empty() || !::PathFileExistsA(m_reportPath.c_str()))
        return;
    // Whatever viewer the system has for text files; its failure is not told.
    ::ShellExecuteA(::GetDesktopWindow(), "open", m_reportPath.c_str(), nullptr, nullptr,
                    SW_SHOWNORMAL);
}

bool CCompletePage::OnWizardFinish()
{
    // A refused restart only lets the wizard close.
    if (m_restartNeeded && !IsItemChecked(IDC_NO_RESTART))
        RestartSystem();
    return CWizardPage::OnWizardFinish();
}
