// List and tree controls of the program under test, read and driven through
// memory of its own process (their messages carry pointers).
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

// Selects and focuses the list row whose first column reads `text`; false
// when there is none.
bool SelectListRow(HWND list, const std::string& text);

struct STreeLine
{
    std::string text;
    int image = -1;
    HTREEITEM item = nullptr;
};

// The items under `parent` (null: the top-level items), in order.
std::vector<STreeLine> ReadTreeItems(HWND tree, HTREEITEM parent = nullptr);
