// A list control of the program under test, driven through memory of its
// own process (its messages carry pointers).
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>

// Selects and focuses the list row whose first column reads `text`; false
// when there is none.
bool SelectListRow(HWND list, const std::string& text);
