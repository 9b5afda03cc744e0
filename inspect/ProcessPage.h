// The processes that hold the file selected on the summary page; the wizard
// only goes back from here.
#pragma once

#include "WizardPage.h"

#include <string>

class CProcessPage : public CWizardPage
{
public:
    CProcessPage();

    // Set by the summary page before it shows this page.
    void SetFilePath(const std::string& path) { m_filePath = path; }
    const std::string& GetFilePath() const { return m_filePath; }

protected:
    bool OnSetActive() override;
    LRESULT OnWizardBack() override;

private:
    std::string m_filePath;
};
