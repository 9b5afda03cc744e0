#include "wizard/LongTask.h"

#include "engine/Text.h"
#include "window/Dialog.h"
#include "wizard/VessraSheet.h"

#include <commctrl.h>

namespace
{

// Often enough for the window to follow the mouse and repaint, seldom enough
// to cost nothing next to the job.
const DWORD kLookIntervalMs = 50;

} // namespace

CLongTask::CLongTask(CVessraSheet& sheet, const CDialog& page, DWORD buttons, int textId, UINT formatId,
                     std::size_t total)
    : m_sheet(sheet),
      m_page(page),
      m_buttons(buttons),
      m_textId(textId),
      m_formatId(formatId),
      m_total(total),
      // The first count is shown at once.
      m_lastLook(::GetTickCount() - kLookIntervalMs),
      m_focus(::GetFocus())
{
    const HWND sheetWindow = m_sheet.GetHwnd();
    ::SendMessageA(sheetWindow, PSM_SETWIZBUTTONS, 0, 0);
    ::EnableWindow(m_page.GetHwnd(), FALSE);
    // Cancel is what the user may press now; Escape and Enter reach it too.
    ::SetFocus(::GetDlgItem(sheetWindow, IDCANCEL));
    m_page.SetItemText(m_textId, std::string());
    m_page.ShowItem(m_textId, true);
    m_sheet.SetLongTask(this);
}

CLongTask::~CLongTask()
{
    // The caller reads the reason of a failed job after this.
    const DWORD error = ::GetLastError();
    m_sheet.SetLongTask(nullptr);
    m_page.ShowItem(m_textId, false);
    ::EnableWindow(m_page.GetHwnd(), TRUE);
    ::SendMessageA(m_sheet.GetHwnd(), PSM_SETWIZBUTTONS, 0, static_cast<LPARAM>(m_buttons));
    if (m_focus && ::IsWindow(m_focus))
        ::SetFocus(m_focus);
    ::SetLastError(error);
}

bool CLongTask::Continue(std::size_t done)
{
    m_done = done;
    const DWORD now = ::GetTickCount();
    if (!m_cancelled && now - m_lastLook >= kLookIntervalMs)
    {
        m_lastLook = now;
        const DWORD error = ::GetLastError();
        ShowProgress();
        HandleMessages();
        ::SetLastError(error);
    }
    return !m_cancelled;
}

void CLongTask::ShowProgress() const
{
    const std::string format = LoadResourceText(m_formatId);
    const auto done = static_cast<unsigned long>(m_done);
    m_page.SetItemText(m_textId, m_total ? FormatText(format.c_str(), done, static_cast<unsigned long>(m_total))
                                         : FormatText(format.c_str(), done));
}

void CLongTask::HandleMessages()
{
    // As the sheet's own loop does it, with the page and the wizard buttons
    // disabled: what remains to the user is to look, and to cancel.
    const HWND sheetWindow = m_sheet.GetHwnd();
    MSG message{};
    while (!m_cancelled && ::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
    {
        if (message.message == WM_QUIT)
        {
            // Left for the loop that ends on it.
            ::PostQuitMessage(static_cast<int>(message.wParam));
            m_cancelled = true;
            break;
        }
        if (!sheetWindow ||
            !::SendMessageA(sheetWindow, PSM_ISDIALOGMESSAGE, 0, reinterpret_cast<LPARAM>(&message)))
        {
            ::TranslateMessage(&message);
            ::DispatchMessageA(&message);
        }
    }
}
