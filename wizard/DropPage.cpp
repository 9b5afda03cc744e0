#include "wizard/DropPage.h"

bool CDropPage::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (message)
    {
    case WM_FILES_DROPPED:
    {
        std::vector<std::string> paths;
        if (m_dropTarget.GetDroppedFiles(paths))
            OnFilesDropped(paths);
        result = 0;
        return true;
    }
    case WM_DESTROY:
        m_dropTarget.Revoke();
        break;
    default:
        break;
    }
    return CWizardPage::HandleMessage(message, wParam, lParam, result);
}
