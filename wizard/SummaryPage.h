// The hub of the wizard: the operations listed so far as a tree. Lines can
// be removed, more operations added, the processes holding a file shown,
// and Next runs them all.
#pragma once

#include "FileSystemDropTarget.h"
#include "FileTreeCtrl.h"
#include "WizardPage.h"

class CVessraSheet;

class CSummaryPage : public CWizardPage
{
public:
    explicit CSummaryPage(CVessraSheet& sheet);

protected:
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    BOOL OnInitDialog() override;
    bool OnSetActive() override;
    bool OnCommand(WORD id, WORD code, HWND control) override;
    bool OnNotify(const NMHDR& header, LRESULT& result) override;
    LRESULT OnWizardNext() override;

private:
    void UpdateButtons() const;
    void OnRemove();
    void OnShowProcesses();
    void OnFilesDropped();
    void ShowSelectPage(const std::string& path);

    CVessraSheet& m_sheet;
    CFileTreeCtrl m_tree;
    CFileSystemDropTarget m_dropTarget;
};
