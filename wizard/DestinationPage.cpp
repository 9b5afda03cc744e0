#include "wizard/DestinationPage.h"

#include "engine/FileInfo.h"
#include "engine/ObjectPath.h"
#include "engine/RestartRules.h"
#include "engine/Text.h"
#include "resources/orvgui/resource.h"
#include "window/WizardMessages.h"
#include "window/WizardText.h"
#include "wizard/PathRules.h"
#include "wizard/ShellChoosers.h"
#include "wizard/VessraSheet.h"

#include <shlwapi.h>

CDestinationPage::CDestinationPage(CVessraSheet& sheet, UINT dialogId, UINT titleId, UINT subtitleId,
                                   EInput input, int inputId, UINT backPage)
    : CDropPage(dialogId, titleId, subtitleId),
      m_sheet(sheet),
      m_inputKind(input),
      m_inputId(inputId),
      m_backPage(backPage)
{
}

bool CDestinationPage::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (message)
    {
    case WM_FOCUS_INPUT:
        FocusItem(m_inputId);
        result = 0;
        return true;
    default:
        break;
    }
    return CDropPage::HandleMessage(message, wParam, lParam, result);
}

BOOL CDestinationPage::OnInitDialog()
{
    CWizardPage::OnInitDialog();
    if (m_inputKind != InputName)
        AcceptDrops();
    return TRUE;
}

bool CDestinationPage::OnSetActive()
{
    // The buttons stay as the action page set them.
    const std::string& selected = m_sheet.GetSelectPage().GetPath();
    m_currentPath = m_backPage == IDD_FOLDER_ACTION ? RemoveTrailingBackslashes(selected) : selected;
    ShowCurrent();
    // After the sheet has put the focus on the first control, which is the
    // read-only text.
    ::PostMessageA(GetHwnd(), WM_FOCUS_INPUT, 0, 0);
    return CWizardPage::OnSetActive();
}

bool CDestinationPage::OnCommand(WORD id, WORD code, HWND control)
{
    if (id == IDC_BROWSE && code == BN_CLICKED && m_inputKind != InputName)
    {
        OnBrowse();
        return true;
    }
    return CWizardPage::OnCommand(id, code, control);
}

LRESULT CDestinationPage::OnWizardNext()
{
    m_input = TrimBlanks(GetItemText(m_inputId));
    FocusItem(m_inputId);
    return CheckAndAdd();
}

LRESULT CDestinationPage::OnWizardBack()
{
    return m_backPage;
}

std::unique_ptr<CRegistryEntry> CDestinationPage::TakeRegistryEntry() const
{
    return m_sheet.GetSelectPage().TakeRegistryEntry();
}

LRESULT CDestinationPage::Refuse(UINT messageId, UINT type)
{
    ShowMessage(messageId, type);
    return WizardStay;
}

bool CDestinationPage::Confirm(UINT questionId)
{
    return ShowMessage(questionId, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

bool CDestinationPage::CheckNewName(bool askExtension, std::string& target, LRESULT& answer) const
{
    const std::string& current = GetCurrentPath();
    const std::string& name = GetInput();
    answer = WizardStay;
    if (!::PathFileExistsA(current.c_str()))
        answer = Refuse(IDS_SOURCE_MISSING);
    // A name with a separator would move the object elsewhere, ".." out
    // of its folder.
    else if (name.empty() || !IsPlainName(name))
        answer = Refuse(IDS_TARGET_INVALID);
    else if (IsSameText(name, GetLastComponent(current)))
        answer = Refuse(IDS_SAME_SOURCE_TARGET);
    else if (askExtension && !HaveSameExtension(current, name) &&
             !Confirm(IDS_CONFIRM_EXTENSION_DIFFERS))
        answer = WizardStay;
    // A target that does not fit a path buffer would leave the operation
    // without a destination, which is a deletion.
    else if (!JoinPath(GetParentFolder(current), name, target))
        answer = Refuse(IDS_TARGET_INVALID);
    else if (::PathFileExistsA(target.c_str()))
        answer = Refuse(IDS_TARGET_EXISTS);
    else
        return true;
    return false;
}

LRESULT CDestinationPage::AddOperation(const std::string& source, const std::string& destination,
                                       std::unique_ptr<CRegistryEntry> entry) const
{
    // What neither an attempt nor the restart could carry out is not added:
    // the reason the attempt would give.
    if (const DWORD refusal = CheckDelayedMove(source, destination))
    {
        ::SetLastError(refusal);
        ShowError(IDS_CANNOT_ADD);
        return WizardStay;
    }
    if (!m_sheet.GetOperations().Add(source, destination, std::move(entry)))
    {
        ShowError(IDS_CANNOT_ADD);
        return WizardStay;
    }
    return IDD_SUMMARY;
}

void CDestinationPage::OnBrowse()
{
    std::string path;
    const bool chosen =
        m_inputKind == InputFile ? ChooseOpenFile(GetHwnd(), path) : ChooseFolder(GetHwnd(), path);
    if (chosen)
        SetItemText(m_inputId, path);
}

bool CDestinationPage::IsSuitableDrop(const std::string& path) const
{
    if (m_inputKind == InputFolder)
        return ::PathIsDirectoryA(path.c_str()) != FALSE;
    return ::PathFileExistsA(path.c_str()) && !::PathIsDirectoryA(path.c_str());
}

void CDestinationPage::OnFilesDropped(const std::vector<std::string>& paths)
{
    for (const std::string& path : paths)
    {
        if (IsSuitableDrop(path))
        {
            SetItemText(m_inputId, path);
            return;
        }
    }
}
