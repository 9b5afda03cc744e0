// Picks the file of an autostart value, or deletes a value whose file is
// gone. With the check box ticked, the chosen value goes with the file.
#pragma once

#include "inspect/RegistryListCtrl.h"
#include "window/Dialog.h"

#include <memory>
#include <string>

class CSelectRegistryFileDlg : public CDialog
{
public:
    CSelectRegistryFileDlg();

    // The entry kept on OK with the box ticked; null otherwise. The caller
    // owns it; the dialog forgets it.
    std::unique_ptr<CRegistryEntry> TakeSelectedEntry() { return std::move(m_keptEntry); }
    // The chosen file after OK; empty otherwise.
    const std::string& GetSelectedFilePath() const { return m_filePath; }

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(WORD id, WORD code, HWND control) override;
    bool OnNotify(const NMHDR& header, LRESULT& result) override;

private:
    // Company text and buttons for the selected row.
    void UpdateSelection() const;
    void OnOK();
    void OnDeleteValue();

    CRegistryListCtrl m_list;
    std::unique_ptr<CRegistryEntry> m_keptEntry;
    std::string m_filePath;
    bool m_keepLink = true;
};

// The copy of a value written to the report before it is deleted: the
// value's place and data, one item a line.
std::string MakeDeletedValueText(const CRegistryEntry& entry, const std::string& data);
