#include "inspect/ProcessPage.h"

#include "engine/Text.h"
#include "inspect/HolderScan.h"
#include "resources/orvgui/resource.h"

#include <shlwapi.h>

CProcessPage::CProcessPage()
    : CWizardPage(IDD_PROCESSES, IDS_PROCESS_PAGE_TITLE, IDS_PROCESS_PAGE_SUBTITLE)
{
}

BOOL CProcessPage::OnInitDialog()
{
    CWizardPage::OnInitDialog();
    // Where the system keeps no handle table, only loaded modules are found.
    const UINT note = HasHandleTable() ? IDS_PROCESS_NOTE_NT : IDS_PROCESS_NOTE_9X;
    SetItemText(IDC_PROCESS_NOTE, LoadResourceText(note));
    // Nor is any handle closed there: the refresh button takes the place of
    // the release button.
    if (!HasHandleTable())
    {
        MoveItemTo(IDC_REFRESH, IDC_RELEASE);
        ShowItem(IDC_RELEASE, false);
    }
    m_list.SubclassWindow(GetItem(IDC_PROCESS_LIST));
    return TRUE;
}

bool CProcessPage::OnSetActive()
{
    SetWizardButtons(PSWIZB_BACK);
    SetItemText(IDC_PROCESS_FILE, FormatText(LoadResourceText(IDS_PROCESS_FILE).c_str(), m_filePath.c_str()));
    Refresh();
    return CWizardPage::OnSetActive();
}

LRESULT CProcessPage::OnWizardBack()
{
    return IDD_SUMMARY;
}

bool CProcessPage::OnCommand(WORD id, WORD code, HWND control)
{
    if (code == BN_CLICKED && id == IDC_REFRESH)
    {
        Refresh();
        return true;
    }
    if (code == BN_CLICKED && id == IDC_TERMINATE)
    {
        TerminateSelected();
        return true;
    }
    if (code == BN_CLICKED && id == IDC_RELEASE)
    {
        ReleaseSelected();
        return true;
    }
    return CWizardPage::OnCommand(id, code, control);
}

bool CProcessPage::OnNotify(const NMHDR& header, LRESULT& result)
{
    if (header.idFrom == IDC_PROCESS_LIST)
    {
        if (header.code == LVN_ITEMCHANGED || header.code == LVN_ITEMACTIVATE)
        {
            // Activating a row (double-click, Enter) ends nothing.
            UpdateButtons();
            result = 0;
            return true;
        }
        if (m_list.HandleNotify(header, result))
            return true;
    }
    return CWizardPage::OnNotify(header, result);
}

void CProcessPage::Refresh()
{
    const HCURSOR previous = ::SetCursor(::LoadCursorA(nullptr, IDC_WAIT));
    if (::PathFileExistsA(m_filePath.c_str()))
        m_list.FillList(m_filePath);
    else
        m_list.DeleteAllRows();
    ::SetCursor(previous);
    UpdateButtons();
    ::InvalidateRect(m_list.GetHwnd(), nullptr, TRUE);
}

void CProcessPage::TerminateSelected()
{
    // Nothing of the wizard may be used while processes are being ended:
    // each may take seconds, and a service up to half a minute.
    const LPARAM next = GetRowAfterSelection();
    const HWND sheet = ::GetParent(GetHwnd());
    ::EnableWindow(sheet, FALSE);
    m_list.TerminateSelected();
    ::EnableWindow(sheet, TRUE);

    // Disabling the sheet took the keyboard focus away from it.
    const int row = next ? m_list.FindItemData(next) : -1;
    if (row >= 0)
        m_list.SelectItem(row);
    FocusItem(m_list.GetItemCount() > 0 ? IDC_PROCESS_LIST : IDC_REFRESH);
    UpdateButtons();
}

void CProcessPage::ReleaseSelected()
{
    const HWND sheet = ::GetParent(GetHwnd());
    ::EnableWindow(sheet, FALSE);
    const HCURSOR previous = ::SetCursor(::LoadCursorA(nullptr, IDC_WAIT));
    m_list.ReleaseSelected(m_filePath);
    ::SetCursor(previous);
    ::EnableWindow(sheet, TRUE);
    FocusItem(m_list.GetItemCount() > 0 ? IDC_PROCESS_LIST : IDC_REFRESH);
    UpdateButtons();
    ::InvalidateRect(m_list.GetHwnd(), nullptr, TRUE);
}

LPARAM CProcessPage::GetRowAfterSelection() const
{
    const int first = m_list.GetSelectedItem();
    if (first < 0)
        return 0;
    const int count = m_list.GetItemCount();
    for (int item = first + 1; item < count; ++item)
    {
        if (!m_list.GetItemState(item, LVIS_SELECTED))
            return m_list.GetItemData(item);
    }
    return first > 0 ? m_list.GetItemData(first - 1) : 0;
}

void CProcessPage::UpdateButtons()
{
    const bool selected = m_list.GetSelectedCount() > 0;
    bool open = false;
    for (int item = m_list.GetSelectedItem(); item >= 0 && !open; item = m_list.GetNextItem(item, LVNI_SELECTED))
        open = m_list.CanRelease(item);
    const HWND focus = ::GetFocus();
    if ((!selected && focus == GetItem(IDC_TERMINATE)) || (!open && focus == GetItem(IDC_RELEASE)))
        FocusItem(IDC_PROCESS_LIST);
    EnableItem(IDC_TERMINATE, selected);
    EnableItem(IDC_RELEASE, open);
}
