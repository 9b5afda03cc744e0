// A dialog window driven by virtual handlers: the base of the modal dialogs
// and, through CWizardPage, of the wizard's pages.
#pragma once

#include <windows.h>

#include <string>

class CDialog
{
public:
    explicit CDialog(UINT dialogId) : m_dialogId(dialogId) {}
    virtual ~CDialog() = default;

    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    // Runs the dialog modally; its end result, or -1 when it could not be
    // shown (last error set).
    INT_PTR DoModal(HWND parent);

    UINT GetDialogId() const { return m_dialogId; }
    HWND GetHwnd() const { return m_hwnd; }
    HWND GetItem(int id) const { return ::GetDlgItem(m_hwnd, id); }
    std::string GetItemText(int id) const;
    void SetItemText(int id, const std::string& text) const;

    void EnableItem(int id, bool enable) const { ::EnableWindow(GetItem(id), enable ? TRUE : FALSE); }
    bool IsItemEnabled(int id) const { return ::IsWindowEnabled(GetItem(id)) != FALSE; }
    void ShowItem(int id, bool show) const { ::ShowWindow(GetItem(id), show ? SW_SHOW : SW_HIDE); }
    void CheckItem(int id, bool check) const
    {
        ::CheckDlgButton(m_hwnd, id, check ? BST_CHECKED : BST_UNCHECKED);
    }
    bool IsItemChecked(int id) const { return ::IsDlgButtonChecked(m_hwnd, id) == BST_CHECKED; }
    // In pixels; 0 without the item.
    int GetItemWidth(int id) const
    {
        RECT bounds{};
        return ::GetWindowRect(GetItem(id), &bounds) ? bounds.right - bounds.left : 0;
    }
    // Through WM_NEXTDLGCTL, so that the default button follows the focus.
    void FocusItem(int id) const
    {
        ::SendMessageA(m_hwnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetItem(id)), TRUE);
    }
    // Word-wraps the item's text within `width` pixels, or narrower where
    // that keeps its last word from standing alone on the last line, as long
    // as the text still fits the item's height.
    void FitItemText(int id, int width) const;
    // Moves the item to where the item `placeId` stands, its size kept.
    void MoveItemTo(int id, int placeId) const;
    // Centres the dialog on the window that owns it (the screen's work area
    // when it has none), kept within the work area.
    void CenterOnOwner() const;

protected:
    // Every message; `result` is what the dialog procedure answers (through
    // DWLP_MSGRESULT where the message needs it). Overrides pass what they
    // leave to the base.
    virtual bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

    // TRUE: the system gives the focus to the first control.
    virtual BOOL OnInitDialog();
    // IDOK and IDCANCEL end a modal dialog with their id.
    virtual bool OnCommand(WORD id, WORD code, HWND control);
    virtual bool OnNotify(const NMHDR& header, LRESULT& result);

    void EndDialog(INT_PTR result) const { ::EndDialog(m_hwnd, result); }

    // The work of a dialog procedure once the object is known; WM_INITDIALOG
    // attaches the object to the window. No exception leaves it.
    static INT_PTR Dispatch(CDialog* dialog, HWND hwnd, UINT message, WPARAM wParam,
                            LPARAM lParam);
    static CDialog* FromHandle(HWND hwnd);

private:
    static INT_PTR CALLBACK ModalProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    UINT m_dialogId;
    HWND m_hwnd = nullptr;
};
