#include "window/Subclass.h"

namespace
{

const char kBaseProcProperty[] = "SubclassControl.base";

WNDPROC GetBaseProc(HWND hwnd)
{
    return reinterpret_cast<WNDPROC>(::GetPropA(hwnd, kBaseProcProperty));
}

} // namespace

bool SubclassControl(HWND hwnd, WNDPROC proc)
{
    if (!hwnd || !proc)
        return false;
    if (GetBaseProc(hwnd))
        return true;
    const LONG_PTR base = ::GetWindowLongPtrA(hwnd, GWLP_WNDPROC);
    if (!base || !::SetPropA(hwnd, kBaseProcProperty, reinterpret_cast<HANDLE>(base)))
        return false;
    ::SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc));
    return true;
}

LRESULT CallControlProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    const WNDPROC base = GetBaseProc(hwnd);
    if (!base)
        return ::DefWindowProcA(hwnd, message, wParam, lParam);
    // The last message: the window's own procedure comes back, and the
    // property goes with it.
    if (message == WM_NCDESTROY)
    {
        ::SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(base));
        ::RemovePropA(hwnd, kBaseProcProperty);
    }
    return ::CallWindowProcA(base, hwnd, message, wParam, lParam);
}
