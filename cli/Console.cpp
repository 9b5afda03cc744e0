#include "cli/Console.h"

#include "engine/FileBytes.h"
#include "engine/ModuleVersion.h"
#include "engine/SystemServices.h"
#include "engine/Text.h"
#include "resources/orvline/resource.h"

bool CConsole::Parse(int argc, const char* const* argv)
{
    m_line = ParseCommandLine(argc, argv);
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

void CConsole::Print(const std::string& text)
{
    Write(STD_OUTPUT_HANDLE, text);
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
    Write(STD_ERROR_HANDLE, FormatSystemErrorLine(path, GetErrorText(code), code));
}

void CConsole::Write(DWORD stdHandle, const std::string& ansiText)
{
    // The text is written as it stands, never used as a format: paths and
    // system messages may hold "%". One WriteFile per text: the C runtime's
    // text stream writes a flushed text byte by byte, a server call each
    // under Wine.
    const std::string text = ExpandLineBreaks(AnsiToOem(ansiText));
    const HANDLE out = ::GetStdHandle(stdHandle);
    if (out != nullptr && out != INVALID_HANDLE_VALUE)
        WriteAll(out, text);
}

std::string ExpandLineBreaks(const std::string& text)
{
    std::string result;
    result.reserve(text.size() + text.size() / 16);
    for (const char c : text)
    {
        if (c == '\n')
            result += '\r';
        result += c;
    }
    return result;
}

std::string GetProgramVersionText()
{
    VS_FIXEDFILEINFO version{};
    if (!ReadProgramFixedVersion(version))
        return std::string();
    return FormatVersionText(version.dwFileVersionMS, version.dwFileVersionLS, version.dwFileFlags);
}
