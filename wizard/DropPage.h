// A wizard page that takes files and folders dropped from the shell. The drop
// target lives with the page's window; the paths arrive once the drop is over
// and the shell has been answered.
#pragma once

#include "window/WizardPage.h"
#include "wizard/FileSystemDropTarget.h"

#include <string>
#include <vector>

class CDropPage : public CWizardPage
{
protected:
    using CWizardPage::CWizardPage;

    // From the page's initialisation on.
    void AcceptDrops() { m_dropTarget.Register(GetHwnd(), WM_FILES_DROPPED); }

    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

    // The dropped objects of the file system, in the order of the drop.
    virtual void OnFilesDropped(const std::vector<std::string>& paths) = 0;

private:
    CFileSystemDropTarget m_dropTarget;
};
