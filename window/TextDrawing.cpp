#include "window/TextDrawing.h"

#include "engine/Handles.h"
#include "engine/SystemServices.h"
#include "engine/Text.h"

int DrawNarrowText(HDC dc, const std::string& text, RECT* area, UINT format)
{
    using DrawWideProc = int(WINAPI*)(HDC, LPCWSTR, int, LPRECT, UINT);
    DrawWideProc drawWide = nullptr;
    if (IsWindowsNT() && ResolveExport(::GetModuleHandleA("user32.dll"), "DrawTextW", drawWide))
    {
        const std::wstring wide = AnsiToWide(text);
        return drawWide(dc, wide.c_str(), static_cast<int>(wide.size()), area, format);
    }
    return ::DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), area, format);
}
