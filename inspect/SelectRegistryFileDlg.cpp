#include "inspect/SelectRegistryFileDlg.h"

#include "engine/ModuleVersion.h"
#include "engine/Report.h"
#include "engine/Text.h"
#include "resources/orvgui/resource.h"
#include "window/WizardMessages.h"

#include <shlwapi.h>

CSelectRegistryFileDlg::CSelectRegistryFileDlg() : CDialog(IDD_SELECT_REGISTRY_FILE)
{
}

BOOL CSelectRegistryFileDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    CenterOnOwner();
    CheckItem(IDC_KEEP_REGISTRY_LINK, m_keepLink);
    m_list.Attach(GetItem(IDC_REGISTRY_LIST));
    m_list.Init();
    m_list.Fill();
    UpdateSelection();
    return TRUE;
}

bool CSelectRegistryFileDlg::OnCommand(WORD id, WORD code, HWND control)
{
    switch (id)
    {
    case IDOK:
        OnOK();
        return true;
    case IDC_DELETE_KEY:
        OnDeleteValue();
        return true;
    default:
        return CDialog::OnCommand(id, code, control);
    }
}

bool CSelectRegistryFileDlg::OnNotify(const NMHDR& header, LRESULT& result)
{
    if (header.idFrom != IDC_REGISTRY_LIST)
        return CDialog::OnNotify(header, result);
    switch (header.code)
    {
    case NM_CLICK:
    case LVN_ITEMACTIVATE:
    case LVN_ITEMCHANGED:
        UpdateSelection();
        return true;
    case LVN_COLUMNCLICK:
        m_list.SortByColumn(reinterpret_cast<const NMLISTVIEW&>(header).iSubItem);
        return true;
    case NM_CUSTOMDRAW:
        result = m_list.OnCustomDraw(reinterpret_cast<const NMLVCUSTOMDRAW&>(header));
        return true;
    default:
        return false;
    }
}

void CSelectRegistryFileDlg::UpdateSelection() const
{
    const CRegistryEntry* const entry = m_list.GetSelectedEntry();
    std::string company = LoadResourceText(IDS_NOT_AVAILABLE);
    CModuleVersion version;
    if (entry && version.LoadFromFile(entry->GetFilePath()))
        company = version.GetStringValue("CompanyName");
    SetItemText(IDC_COMPANY_NAME, company);

    const bool exists = entry && ::PathFileExistsA(entry->GetFilePath().c_str());
    EnableItem(IDOK, entry && exists);
    EnableItem(IDC_DELETE_KEY, entry && !exists);
}

void CSelectRegistryFileDlg::OnOK()
{
    // Enter reaches here even while the button is disabled.
    if (!IsItemEnabled(IDOK))
        return;
    const CRegistryEntry* entry = m_list.GetSelectedEntry();
    if (!entry)
        return;
    m_keepLink = IsItemChecked(IDC_KEEP_REGISTRY_LINK);
    m_filePath = entry->GetFilePath();
    if (m_keepLink)
        m_keptEntry = m_list.DetachSelectedEntry();
    EndDialog(IDOK);
}

void CSelectRegistryFileDlg::OnDeleteValue()
{
    if (ShowMessage(IDS_CONFIRM_DELETE_KEY, MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    const int item = m_list.GetSelectedItem();
    CRegistryEntry* const entry = m_list.GetEntry(item);
    if (!entry)
        return;

    // The deletion is for good: a copy of the value goes to the report
    // first, and without it the value stays.
    std::string data;
    if (!entry->ReadValueData(data) ||
        !AppendDatedReport(MakeDeletedValueText(*entry, data),
                           {entry->GetViewedKeyPath(), entry->GetValueName(), data}))
    {
        if (::GetLastError() == ERROR_SUCCESS)
            ::SetLastError(ERROR_WRITE_FAULT);
        ShowError(IDS_CANNOT_DELETE_KEY);
        return;
    }

    if (!entry->DeleteValue())
    {
        ShowError(IDS_CANNOT_DELETE_KEY);
        return;
    }
    m_list.DeleteRow(item);
    FocusItem(IDC_REGISTRY_LIST);
    UpdateSelection();
}

std::string MakeDeletedValueText(const CRegistryEntry& entry, const std::string& data)
{
    // The key as the registry editor names it, so that the value can be
    // written back by hand.
    const std::string key =
        std::string(entry.GetHive() == HKEY_CURRENT_USER ? "HKEY_CURRENT_USER\\" : "HKEY_LOCAL_MACHINE\\") +
        entry.GetViewedKeyPath();
    return FormatText(LoadResourceText(IDS_DELETED_VALUE_COPY).c_str(), key.c_str(),
                      entry.GetValueName().c_str(), data.c_str());
}
