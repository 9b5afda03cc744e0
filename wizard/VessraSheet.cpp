#include "wizard/VessraSheet.h"

#include "engine/FileInfo.h"
#include "resources/orvgui/resource.h"
#include "window/WizardMessages.h"
#include "wizard/LongTask.h"

CVessraSheet::CVessraSheet(CFileInfoList& operations)
    : CWizardSheet(IDS_PRODUCT_NAME, nullptr, 0, IDB_WATERMARK, IDB_HEADER, IDS_TITLE_FONT_FACE,
                   IDC_BIG_TITLE),
      m_operations(operations),
      m_pendingPage(*this),
      m_selectPage(*this),
      m_filePage(*this),
      m_replaceFilePage(*this),
      m_renameFilePage(*this),
      m_moveFilePage(*this),
      m_folderPage(*this),
      m_renameFolderPage(*this),
      m_moveFolderPage(*this),
      m_summaryPage(*this),
      m_completePage(*this)
{
    const HINSTANCE instance = ::GetModuleHandleA(nullptr);
    m_largeIcon.Reset(static_cast<HICON>(::LoadImageA(instance, MAKEINTRESOURCEA(IDI_ORVANE),
                                                      IMAGE_ICON, 0, 0, LR_DEFAULTSIZE)));
    m_smallIcon.Reset(static_cast<HICON>(
        ::LoadImageA(instance, MAKEINTRESOURCEA(IDI_ORVANE), IMAGE_ICON, 16, 16, 0)));

    AddPage(m_welcomePage);
    if (!m_operations.IsEmpty())
        AddPage(m_pendingPage);
    AddPage(m_selectPage);
    AddPage(m_filePage);
    AddPage(m_replaceFilePage);
    AddPage(m_renameFilePage);
    AddPage(m_moveFilePage);
    AddPage(m_folderPage);
    AddPage(m_renameFolderPage);
    AddPage(m_moveFolderPage);
    AddPage(m_summaryPage);
    AddPage(m_completePage);
    AddPage(m_processPage);
}

void CVessraSheet::OnInitDialog()
{
    ::SendMessageA(GetHwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_largeIcon.Get()));
    ::SendMessageA(GetHwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_smallIcon.Get()));
}

bool CVessraSheet::ConfirmQuit()
{
    if (m_operations.IsEmpty())
        return true;
    if (ShowMessage(IDS_CONFIRM_QUIT, MB_YESNO | MB_ICONQUESTION) == IDYES)
        return true;
    SetActivePage(m_summaryPage);
    return false;
}

bool CVessraSheet::OnCancel()
{
    if (m_longTask)
    {
        m_longTask->Cancel();
        return false;
    }
    return ConfirmQuit();
}

bool CVessraSheet::OnClose()
{
    return OnCancel();
}
