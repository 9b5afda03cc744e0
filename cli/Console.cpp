#include "cli/Console.h"

#include "engine/CodePage.h"
#include "engine/FileBytes.h"
#include "engine/Handles.h"
#include "engine/ModuleVersion.h"
#include "engine/SystemServices.h"
#include "engine/Text.h"
#include "resources/orvline/resource.h"

#include <algorithm>

bool CConsole::Parse(int argc, const char* const* argv)
{
    m_line = ParseCommandLine(argc, argv);
    // Windows 9x/Me keeps no handle table: there is no handle to close.
    if ((m_line.flags & FlagRelease) != 0 && !IsWindowsNT())
        m_line.refused = true;
    if (HasWork(m_line))
        return true;
    PrintBanner();
    Print(LoadResourceText(IDS_USAGE_SYNTAX));
    Print(LoadResourceText(IDS_USAGE_MEANING));
    Print(LoadResourceText(IDS_USAGE_OPTIONS));
    return false;
}

void CConsole::PrintBanner()
{
    Print(LoadResourceText(IDS_PRODUCT_NAME) + " - " + GetProgramVersionText() + "\n" +
          LoadResourceText(IDS_DESCRIPTION));
}

void CConsole::Print(const std::string& text, const std::vector<std::string>& names)
{
    Write(STD_OUTPUT_HANDLE, text, names);
}

void CConsole::PrintInfo(UINT id)
{
    Write(STD_OUTPUT_HANDLE, LoadResourceText(id) + "\n");
}

void CConsole::PrintError(UINT id)
{
    Write(STD_ERROR_HANDLE, "\n" + LoadResourceText(id) + "\n");
}

void CConsole::PrintSystemError(UINT id, DWORD code)
{
    Write(STD_ERROR_HANDLE, FormatSystemErrorLine(LoadResourceText(id), GetErrorText(code), code));
}

void CConsole::PrintFailure(const std::string& path, DWORD code) const
{
    Write(STD_ERROR_HANDLE, FormatSystemErrorLine(path, GetErrorText(code), code), {path});
}

void CConsole::PrintErrorText(const std::string& text, const std::vector<std::string>& names) const
{
    Write(STD_ERROR_HANDLE, "\n" + text + "\n", names);
}

namespace
{

// A console window shows every character through the wide call, whatever
// its code page. False for a pipe, a file, or a console that refused it.
bool WriteConsoleWindow(HANDLE out, const std::wstring& text)
{
    DWORD mode = 0;
    if (!::GetConsoleMode(out, &mode))
        return false;
    using WriteConsoleWideProc = BOOL(WINAPI*)(HANDLE, const void*, DWORD, DWORD*, void*);
    WriteConsoleWideProc writeConsole = nullptr;
    if (!ResolveExport(::GetModuleHandleA("kernel32.dll"), "WriteConsoleW", writeConsole))
        return false;
    // Older consoles take at most 64 KB a call.
    const std::size_t piece = 8192;
    for (std::size_t at = 0; at < text.size();)
    {
        const DWORD count = static_cast<DWORD>(std::min(piece, text.size() - at));
        DWORD written = 0;
        if (!writeConsole(out, text.data() + at, count, &written, nullptr) || written == 0)
            return at != 0; // a text begun is not written twice
        at += written;
    }
    return true;
}

} // namespace

void CConsole::Write(DWORD stdHandle, const std::string& ansiText, const std::vector<std::string>& names)
{
    // The text is written as it stands, never used as a format: paths and
    // system messages may hold "%". One write per text: the C runtime's
    // text stream writes a flushed text byte by byte, a server call each
    // under Wine.
    const HANDLE out = ::GetStdHandle(stdHandle);
    if (out == nullptr || out == INVALID_HANDLE_VALUE)
        return;
    const std::string text = ExpandLineBreaks(ansiText);
    if (!IsUtf8Process())
    {
        WriteAll(out, ToCodePage(AnsiToWide(text), CP_OEMCP));
        return;
    }
    // ASCII is the same in every code page the console may have.
    if (IsAscii(text))
    {
        WriteAll(out, text);
        return;
    }
    const std::wstring wide = AnsiToWide(text);
    if (WriteConsoleWindow(out, wide))
        return;
    // A script reads a pipe or a file in the system's OEM code page, as
    // before; a name that it lacks comes whole, the text in UTF-8, never
    // with "?" marks.
    std::vector<std::wstring> wideNames;
    for (const std::string& name : names)
        wideNames.push_back(AnsiToWide(name));
    bool utf8 = false;
    WriteAll(out, EncodeNamedText(wide, wideNames, GetSystemOemCodePage(), utf8));
}

std::string GetProgramVersionText()
{
    VS_FIXEDFILEINFO version{};
    if (!ReadProgramFixedVersion(version))
        return std::string();
    return FormatVersionText(version.dwFileVersionMS, version.dwFileVersionLS, version.dwFileFlags);
}
