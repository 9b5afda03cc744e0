// The hub of the wizard: the operations listed so far as a tree. Lines can
// be removed, more operations added, the processes holding a file shown,
// and Next runs them all.
#pragma once

#include "window/WizardPage.h"
#include "wizard/DropPage.h"
#include "wizard/FileTreeCtrl.h"

class CVessraSheet;

class CSummaryPage : public CDropPage
{
public:
    explicit CSummaryPage(CVessraSheet& sheet);

protected:
    BOOL OnInitDialog() override;
    bool OnSetActive() override;
    bool OnCommand(WORD id, WORD code, HWND control) override;
    bool OnNotify(const NMHDR& header, LRESULT& result) override;
    LRESULT OnWizardNext() override;

private:
    void UpdateButtons() const;
    void OnRemove();
    void OnShowProcesses();
    void OnFilesDropped(const std::vector<std::string>& paths) override;
    void ShowSelectPage(const std::string& path);

    CVessraSheet& m_sheet;
    CFileTreeCtrl m_tree;
};
