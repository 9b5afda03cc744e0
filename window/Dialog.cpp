#include "window/Dialog.h"

#include "window/TextDrawing.h"

#include <algorithm>
#include <vector>

INT_PTR CDialog::DoModal(HWND parent)
{
    return ::DialogBoxParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(m_dialogId), parent,
                             ModalProc, reinterpret_cast<LPARAM>(this));
}

std::string CDialog::GetItemText(int id) const
{
    const HWND item = GetItem(id);
    if (!item)
        return std::string();
    const int length = ::GetWindowTextLengthA(item);
    if (length <= 0)
        return std::string();
    std::vector<char> buffer(static_cast<std::size_t>(length) + 1, '\0');
    const int copied = ::GetWindowTextA(item, buffer.data(), static_cast<int>(buffer.size()));
    return std::string(buffer.data(), copied > 0 ? static_cast<std::size_t>(copied) : 0);
}

void CDialog::SetItemText(int id, const std::string& text) const
{
    ::SetDlgItemTextA(m_hwnd, id, text.c_str());
}

void CDialog::MoveItemTo(int id, int placeId) const
{
    RECT place{};
    if (!::GetWindowRect(GetItem(placeId), &place))
        return;
    ::MapWindowPoints(nullptr, m_hwnd, reinterpret_cast<POINT*>(&place), 2);
    ::SetWindowPos(GetItem(id), nullptr, place.left, place.top, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CDialog::FitItemText(int id, int width) const
{
    const HWND item = GetItem(id);
    RECT bounds{};
    if (!item || width <= 0 || !::GetWindowRect(item, &bounds))
        return;
    const int height = bounds.bottom - bounds.top;
    const std::string text = GetItemText(id);
    // The text without its last word.
    const std::size_t blank = text.find_last_of(' ');
    const std::size_t headEnd = blank == std::string::npos ? blank : text.find_last_not_of(' ', blank);
    int fitted = width;
    const HDC dc = ::GetDC(item);
    if (dc && headEnd != std::string::npos)
    {
        const HGDIOBJ font = reinterpret_cast<HGDIOBJ>(::SendMessageA(item, WM_GETFONT, 0, 0));
        const HGDIOBJ previous = font ? ::SelectObject(dc, font) : nullptr;
        // As a static control lays its text out.
        const UINT format = DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS |
                            ((::GetWindowLongA(item, GWL_STYLE) & SS_NOPREFIX) ? DT_NOPREFIX : 0);
        const auto textHeight = [&](const std::string& part, int lineWidth) {
            RECT area = {0, 0, lineWidth, 0};
            DrawNarrowText(dc, part, &area, format);
            return area.bottom;
        };
        const std::string head = text.substr(0, headEnd + 1);
        // The last word stands alone when leaving it out takes a line away.
        for (int lineWidth = width; lineWidth > width / 2; --lineWidth)
        {
            const int full = textHeight(text, lineWidth);
            if (full > height)
                break;
            if (textHeight(head, lineWidth) == full)
            {
                fitted = lineWidth;
                break;
            }
        }
        if (previous)
            ::SelectObject(dc, previous);
    }
    if (dc)
        ::ReleaseDC(item, dc);
    ::SetWindowPos(item, nullptr, 0, 0, fitted, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CDialog::CenterOnOwner() const
{
    RECT work{};
    RECT dialog{};
    if (!::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0) || !::GetWindowRect(m_hwnd, &dialog))
        return;
    RECT around = work;
    const HWND owner = ::GetWindow(m_hwnd, GW_OWNER);
    if (owner && ::IsWindowVisible(owner))
        ::GetWindowRect(owner, &around);
    const int width = dialog.right - dialog.left;
    const int height = dialog.bottom - dialog.top;
    const auto place = [](LONG from, LONG to, int size, LONG low, LONG high) {
        const LONG start = from + (to - from - size) / 2;
        // The far edge first: a dialog larger than the screen keeps its top left corner on it.
        return std::max(low, std::min(start, high - size));
    };
    ::SetWindowPos(m_hwnd, nullptr, place(around.left, around.right, width, work.left, work.right),
                   place(around.top, around.bottom, height, work.top, work.bottom), 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool CDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (message)
    {
    case WM_INITDIALOG:
        result = OnInitDialog();
        return true;
    case WM_COMMAND:
        return OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
    case WM_NOTIFY:
        return OnNotify(*reinterpret_cast<const NMHDR*>(lParam), result);
    default:
        return false;
    }
}

BOOL CDialog::OnInitDialog()
{
    return TRUE;
}

bool CDialog::OnCommand(WORD id, WORD /*code*/, HWND /*control*/)
{
    if (id != IDOK && id != IDCANCEL)
        return false;
    EndDialog(id);
    return true;
}

bool CDialog::OnNotify(const NMHDR& /*header*/, LRESULT& /*result*/)
{
    return false;
}

CDialog* CDialog::FromHandle(HWND hwnd)
{
    return reinterpret_cast<CDialog*>(::GetWindowLongPtrA(hwnd, DWLP_USER));
}

INT_PTR CDialog::Dispatch(CDialog* dialog, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!dialog)
        return FALSE;
    if (message == WM_INITDIALOG)
    {
        dialog->m_hwnd = hwnd;
        ::SetWindowLongPtrA(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(dialog));
    }

    LRESULT result = 0;
    bool handled = false;
    try
    {
        handled = dialog->HandleMessage(message, wParam, lParam, result);
    }
    catch (...)
    {
        // A handler that failed half-way must not move the wizard on: -1
        // refuses a page change, an activation and the Finish alike.
        handled = message == WM_NOTIFY;
        result = -1;
    }

    if (message == WM_NCDESTROY)
    {
        ::SetWindowLongPtrA(hwnd, DWLP_USER, 0);
        dialog->m_hwnd = nullptr;
    }
    if (!handled)
        return FALSE;

    switch (message)
    {
    // These answer through the return value, not through DWLP_MSGRESULT.
    case WM_INITDIALOG:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON:
        return static_cast<INT_PTR>(result);
    default:
        ::SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, result);
        return TRUE;
    }
}

INT_PTR CALLBACK CDialog::ModalProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CDialog* dialog = message == WM_INITDIALOG ? reinterpret_cast<CDialog*>(lParam) : FromHandle(hwnd);
    return Dispatch(dialog, hwnd, message, wParam, lParam);
}
