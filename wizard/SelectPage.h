// The file or folder that the next operation acts on; Next sends the wizard
// to the file or the folder action page.
#pragma once

#include "RegistryEntry.h"
#include "WizardPage.h"

#include <memory>
#include <string>

class CVessraSheet;

class CSelectPage : public CWizardPage
{
public:
    explicit CSelectPage(CVessraSheet& sheet);

    // The selected path. Setting it also fills the path field when the page
    // exists; the path follows the field again at the next Next.
    const std::string& GetPath() const { return m_path; }
    void SetPath(const std::string& path);

    // The autostart entry chosen with the file, handed to the operation that
    // takes it; none afterwards.
    std::unique_ptr<CRegistryEntry> TakeRegistryEntry() { return std::move(m_registryEntry); }

protected:
    BOOL OnInitDialog() override;
    bool OnSetActive() override;
    LRESULT OnWizardNext() override;
    LRESULT OnWizardBack() override;

private:
    CVessraSheet& m_sheet;
    std::string m_path;
    std::unique_ptr<CRegistryEntry> m_registryEntry;
};
