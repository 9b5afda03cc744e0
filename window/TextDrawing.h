// Narrow texts drawn as they read, whatever the code page of this process.
#pragma once

#include <windows.h>

#include <string>

// DrawTextA's work, through the wide call where the system has it (the NT
// family): the narrow call may read the text in the code page of the font's
// character set rather than in this process's (UTF-8 where the manifest's
// entry is honoured).
int DrawNarrowText(HDC dc, const std::string& text, RECT* area, UINT format);
