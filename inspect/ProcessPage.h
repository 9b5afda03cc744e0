// The processes that hold the file selected on the summary page, and the
// means to end them; the wizard only goes back from here.
#pragma once

#include "ProcessListCtrl.h"
#include "WizardPage.h"

#include <string>

class CProcessPage : public CWizardPage
{
public:
    CProcessPage();

    // Set by the summary page before it shows this page.
    void SetFilePath(const std::string& path) { m_filePath = path; }

protected:
    BOOL OnInitDialog() override;
    bool OnSetActive() override;
    LRESULT OnWizardBack() override;
    bool OnCommand(WORD id, WORD code, HWND control) override;
    bool OnNotify(const NMHDR& header, LRESULT& result) override;

private:
    void Refresh();
    void TerminateSelected();
    // The terminate button follows the selection.
    void UpdateButtons();

    std::string m_filePath;
    CProcessListCtrl m_list;
};
