#include "Console.h"

#include "ModuleVersion.h"
#include "SystemServices.h"
#include "Text.h"
#include "resource.h"

#include <cstdio>

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
    Write(stdout, text);
}

void CConsole::PrintInfo(UINT id)
{
    Write(stdout, LoadResourceText(id) + "\n");
}

void CConsole::PrintError(UINT id)
{
    Write(stderr, "\n" + LoadResourceText(id) + "\n");
}

void CConsole::PrintSystemError(UINT id, DWORD code)
{
    Write(stderr, FormatSystemErrorLine(LoadResourceText(id), GetErrorText(code), code));
}

void CConsole::PrintFailure(const std::string& path, DWORD code) const
{
    Write(stderr, FormatSystemErrorLine(path, GetErrorText(code), code));
}

void CConsole::Write(FILE* stream, const std::string& ansiText)
{
    // The text is written as it stands, never used as a format: paths and
    // system messages may hold "%".
    const std::string text = AnsiToOem(ansiText);
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fflush(stream);
}

std::string GetProgramVersionText()
{
    VS_FIXEDFILEINFO version{};
    if (!ReadProgramFixedVersion(version))
        return std::string();
    return FormatVersionText(version.dwFileVersionMS, version.dwFileVersionLS, version.dwFileFlags);
}
