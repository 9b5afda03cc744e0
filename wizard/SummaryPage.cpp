#include "wizard/SummaryPage.h"

#include "engine/FileInfo.h"
#include "resources/orvgui/resource.h"
#include "window/WizardMessages.h"
#include "wizard/LongTask.h"
#include "wizard/VessraSheet.h"

CSummaryPage::CSummaryPage(CVessraSheet& sheet)
    : CDropPage(IDD_SUMMARY, IDS_SUMMARY_PAGE_TITLE, IDS_SUMMARY_PAGE_SUBTITLE), m_sheet(sheet)
{
}

BOOL CSummaryPage::OnInitDialog()
{
    CWizardPage::OnInitDialog();
    m_tree.SubclassWindow(GetItem(IDC_OPERATION_TREE));
    m_tree.Init();
    UpdateButtons();
    AcceptDrops();
    return TRUE;
}

bool CSummaryPage::OnSetActive()
{
    SetWizardButtons(PSWIZB_NEXT);
    m_tree.Update(m_sheet.GetOperations());
    UpdateButtons();
    return CWizardPage::OnSetActive();
}

bool CSummaryPage::OnCommand(WORD id, WORD code, HWND control)
{
    if (code == BN_CLICKED)
    {
        switch (id)
        {
        case IDC_REMOVE:
            OnRemove();
            return true;
        case IDC_SHOW_PROCESSES:
            OnShowProcesses();
            return true;
        case IDC_ADD:
            ShowSelectPage(std::string());
            return true;
        default:
            break;
        }
    }
    return CWizardPage::OnCommand(id, code, control);
}

bool CSummaryPage::OnNotify(const NMHDR& header, LRESULT& result)
{
    if (m_tree.OnNotify(header, result))
        return true;
    if (header.idFrom == IDC_OPERATION_TREE &&
        (header.code == TVN_SELCHANGEDA || header.code == TVN_SELCHANGEDW))
    {
        UpdateButtons();
        result = 0;
        return true;
    }
    return CWizardPage::OnNotify(header, result);
}

void CSummaryPage::UpdateButtons() const
{
    const HTREEITEM selected = m_tree.GetSelectedItem();
    EnableItem(IDC_REMOVE, selected != nullptr);
    EnableItem(IDC_SHOW_PROCESSES, m_tree.CanShowProcesses(selected));
}

void CSummaryPage::OnRemove()
{
    HTREEITEM item = m_tree.GetSelectedItem();
    if (!item)
        return;
    // A child line stands for its operation.
    if (const HTREEITEM parent = m_tree.GetParentItem(item))
        item = parent;
    if (CFileInfo* operation = m_tree.GetOperation(item))
        m_sheet.GetOperations().Remove(operation);
    m_tree.DeleteOperation(item);
    UpdateButtons();
}

void CSummaryPage::OnShowProcesses()
{
    const HTREEITEM item = m_tree.GetSelectedItem();
    if (!m_tree.CanShowProcesses(item))
        return;
    // Each line inspects the file it names: for a replacement the top line
    // is the replaced file and its child the new one.
    const HTREEITEM parent = m_tree.GetParentItem(item);
    const CFileInfo* operation = m_tree.GetOperation(parent ? parent : item);
    if (!operation)
        return;
    CProcessPage& processPage = m_sheet.GetProcessPage();
    processPage.SetFilePath(parent ? operation->GetTargetPath() : operation->GetActionPath());
    m_sheet.SetActivePage(processPage);
}

void CSummaryPage::OnFilesDropped(const std::vector<std::string>& paths)
{
    if (!paths.empty())
        ShowSelectPage(paths.front());
}

void CSummaryPage::ShowSelectPage(const std::string& path)
{
    CSelectPage& selectPage = m_sheet.GetSelectPage();
    selectPage.SetPath(path);
    m_sheet.SetActivePage(selectPage);
}

LRESULT CSummaryPage::OnWizardNext()
{
    CFileInfoList& operations = m_sheet.GetOperations();
    if (operations.IsEmpty())
        return WizardDefault;
    if (ShowMessage(IDS_CONFIRM_PROCESS, MB_YESNO | MB_ICONQUESTION) != IDYES)
        return WizardStay;
    bool succeeded = false;
    bool cancelled = false;
    std::size_t stoppedAt = 0;
    {
        CLongTask task(m_sheet, *this, PSWIZB_NEXT, IDC_PROGRESS_TEXT, IDS_PROCESS_PROGRESS,
                       operations.GetCount());
        succeeded = operations.Process(&task);
        cancelled = task.IsCancelled();
        stoppedAt = task.GetDone();
    }
    if (!succeeded || cancelled)
    {
        // Each line shows its outcome before the message.
        m_tree.Update(operations);
        UpdateButtons();
    }
    if (cancelled)
    {
        // The completion page follows all the same: its report tells what
        // was done and what was not, and a deferred operation needs the
        // restart it offers.
        unsigned long notDone = 0;
        for (std::size_t i = stoppedAt; i < operations.GetCount(); ++i)
        {
            if (!IsDone(operations.GetAt(i)->GetStatus()))
                ++notDone;
        }
        ShowMessage(IDS_PROCESS_CANCELLED, MB_ICONEXCLAMATION, notDone);
    }
    else if (!succeeded)
    {
        ShowMessage(IDS_PROCESS_ERROR, MB_ICONEXCLAMATION);
    }
    return WizardDefault;
}
