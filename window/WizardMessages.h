// The wizard's message boxes: a string-table text, formatted printf-style
// when arguments are given, captioned with the product name.
#pragma once

#include "engine/Text.h"

#include <windows.h>

#include <string>

// The program's own strings that every box uses: its title (the caption) and
// the "error <code>:" line of ShowError, a format holding one %d. Set once at
// start-up, before the first box.
void SetMessageTexts(UINT titleId, UINT errorCodeId);

// Shows the text over the active window; the button pressed.
int ShowMessageText(const std::string& text, UINT type);

// The text, a line feed, "Erreur <code>:", a blank and the system's text.
std::string AppendErrorText(const std::string& text, DWORD error);

// Box types in use: MB_ICONHAND, MB_YESNO | MB_ICONQUESTION, MB_ICONEXCLAMATION.
template <typename... Args>
int ShowMessage(UINT id, UINT type, Args... args)
{
    const std::string text = LoadResourceText(id);
    if constexpr (sizeof...(Args) == 0)
        return ShowMessageText(text, type);
    else
        return ShowMessageText(FormatText(text.c_str(), args...), type);
}

// A failure with the thread's last-error value, stop icon.
template <typename... Args>
int ShowError(UINT id, Args... args)
{
    const DWORD error = ::GetLastError();
    const std::string text = LoadResourceText(id);
    if constexpr (sizeof...(Args) == 0)
        return ShowMessageText(AppendErrorText(text, error), MB_ICONHAND);
    else
        return ShowMessageText(AppendErrorText(FormatText(text.c_str(), args...), error),
                               MB_ICONHAND);
}
