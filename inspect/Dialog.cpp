#include "Dialog.h"

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
