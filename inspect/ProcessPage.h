// The processes that hold the file selected on the summary page, and the
// means to end them; the wizard only goes back from here.
#pragma once

#include "inspect/ProcessListCtrl.h"
#include "window/WizardPage.h"

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
    void ReleaseSelected();
    // The record of the row that the keyboard goes on from once the
    // selected rows are handled: the first one after them, else the one
    // before them; 0 when every row is selected.
    LPARAM GetRowAfterSelection() const;
    // The terminate button follows the selection; the release button
    // follows the selected rows that hold the file open.
    void UpdateButtons();

    std::string m_filePath;
    CProcessListCtrl m_list;
};
