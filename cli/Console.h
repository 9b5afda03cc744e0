// orvline's console: the parsed command line and the four kinds of print.
// Every text is written at once and whole, with the CR LF line ends of a
// text-mode stream, in the OEM code page; where the process's code page is
// UTF-8, a console window gets it through the wide call and a pipe or a file
// gets the system's own OEM code page as long as the names in a text have
// their exact form there, otherwise that text in UTF-8 (Write).
#pragma once

#include "cli/CommandLine.h"

#include <windows.h>

#include <string>
#include <vector>

class CConsole
{
public:
    CConsole() = default;
    virtual ~CConsole() = default;

    // Fills source, target and flags; prints the banner and the usage text
    // and returns false when there is nothing to do.
    bool Parse(int argc, const char* const* argv);

    void PrintBanner();
    // `names`: the paths and file names that the text holds, which reach the
    // stream unchanged.
    void Print(const std::string& text, const std::vector<std::string>& names = {});
    void PrintInfo(UINT id);
    void PrintError(UINT id);
    // Uses the code passed in: the caller reads GetLastError() before any
    // other call can change it.
    void PrintSystemError(UINT id, DWORD code);
    // An error line for one failed operation: its path in place of a message.
    void PrintFailure(const std::string& path, DWORD code) const;
    // An error line of its own text, which holds `names`.
    void PrintErrorText(const std::string& text, const std::vector<std::string>& names) const;

    const std::string& GetSource() const { return m_line.source; }
    const std::string& GetTarget() const { return m_line.target; }
    DWORD GetFlags() const { return m_line.flags; }
    bool HasFlag(DWORD flag) const { return (m_line.flags & flag) != 0; }

private:
    static void Write(DWORD stdHandle, const std::string& ansiText,
                      const std::vector<std::string>& names = {});

    SCommandLine m_line;
};

// The banner's version text, from this program's own version resource.
std::string GetProgramVersionText();
