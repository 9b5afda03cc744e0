// The last page of the normal path, after the operations ran: the report
// of the run, the offer to show it, and the restart on Finish when an
// operation waits for it.
#pragma once

#include "window/WizardPage.h"

#include <string>

class CVessraSheet;

class CCompletePage : public CWizardPage
{
public:
    explicit CCompletePage(CVessraSheet& sheet);

protected:
    BOOL OnInitDialog() override;
    bool OnSetActive() override;
    bool OnCommand(WORD id, WORD code, HWND control) override;
    bool OnWizardFinish() override;

private:
    void ShowReport() const;

    CVessraSheet& m_sheet;
    std::string m_reportPath;
    std::string m_successText;
    int m_resultWidth = 0;  // of the outcome sentence, as the template lays it out
    bool m_restartNeeded = false;
};
