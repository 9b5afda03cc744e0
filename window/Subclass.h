// A control's own window procedure with another one in front of it. The
// control's procedure is kept with the window, gets every message that the
// new one hands on, and is put back when the window goes.
#pragma once

#include <windows.h>

// False when the control cannot be taken over; true, changing nothing, when
// it already is.
bool SubclassControl(HWND hwnd, WNDPROC proc);
// The control's own procedure for a message (the default one when the
// control is not taken over).
LRESULT CallControlProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
