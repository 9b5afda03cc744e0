// The file or folder that the next operation acts on: typed, chosen with the
// "Sélectionner..." menu or dropped. Next sends the wizard to the file or
// the folder action page.
#pragma once

#include "engine/RegistryEntry.h"
#include "window/WizardPage.h"
#include "wizard/DropPage.h"

#include <memory>
#include <string>
#include <vector>

class CVessraSheet;

class CSelectPage : public CDropPage
{
public:
    explicit CSelectPage(CVessraSheet& sheet);

    // The selected path. Setting it also fills the path field when the page
    // exists; the path follows the field again at the next Next.
    const std::string& GetPath() const { return m_path; }
    void SetPath(const std::string& path);

    // The autostart entry chosen with the file (none: the link is not kept);
    // replaces the one held before.
    void SetRegistryEntry(std::unique_ptr<CRegistryEntry> entry) { m_registryEntry = std::move(entry); }
    // The autostart entry chosen with the file, handed to the operation that
    // takes it; none afterwards.
    std::unique_ptr<CRegistryEntry> TakeRegistryEntry() { return std::move(m_registryEntry); }

protected:
    BOOL OnInitDialog() override;
    bool OnSetActive() override;
    bool OnCommand(WORD id, WORD code, HWND control) override;
    LRESULT OnWizardNext() override;
    LRESULT OnWizardBack() override;

private:
    void ShowSelectMenu() const;
    void OnSelectFile();
    void OnSelectFromRegistry();
    void OnSelectFolder();
    void OnFilesDropped(const std::vector<std::string>& paths) override;

    CVessraSheet& m_sheet;
    std::string m_path;
    std::unique_ptr<CRegistryEntry> m_registryEntry;
};
