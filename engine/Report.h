// The text report appended beside each program.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class CFileInfoList;

// The running program's path with the extension ".txt"; empty when it
// cannot be formed.
std::string GetReportFilePath();

// Appends the error report for a message of the string table and a Windows
// error code (0: none) to the program's report file. Failures are silent.
void WriteErrorReport(UINT messageId, DWORD errorCode);

// Appends a dated block to the program's report file: the current date, a
// blank line, the text, a blank line. `names`: the names and paths the text
// holds (AppendReportText). False when the text could not be written (last
// error set).
bool AppendDatedReport(const std::string& text, const std::vector<std::string>& names);

// The date line of a report: the C runtime's long date and time ("%#c"),
// for example "Sunday, December 06, 2026 12:53:14". Empty when the time
// cannot be converted or formatted.
std::string FormatReportDate(const SYSTEMTIME& localTime);

// The operations report: date, blank line, one block per operation in
// index order, final line break.
std::string MakeOperationsReport(const std::string& date, const CFileInfoList& list);

// The error report: date, blank line, message line, the system text's line
// when there is one, blank line.
std::string MakeErrorReport(const std::string& date, const std::string& message,
                            const std::string& systemText);

// How a report file goes on where the process's code page is UTF-8. One
// file, one encoding: a report in the system's ANSI code page stays in it
// (today's bytes) as long as the names of each text have their exact form
// there, the other characters taking the nearest one; a report that begins
// with a text whose names it lacks is written in UTF-8 with a byte-order
// mark, and a report of the ANSI code page that such a text joins is turned
// to UTF-8 whole, its older reports kept, before the text is added.
enum EReportForm
{
    ReportAnsi,   // the text in the ANSI code page, at the end
    ReportUtf8,   // the text in UTF-8, at the end (after the mark, in a new file)
    ReportToUtf8, // the whole file turned to UTF-8, then the text
};

// `head`: the first three bytes of the file (fewer in a shorter one, none
// in an empty one); `namesFit`: whether the text's names have their exact
// form in the system's ANSI code page.
EReportForm ChooseReportForm(const std::string& head, bool namesFit);

// A report of the ANSI code page `codePage` in UTF-8, with the mark.
std::string MakeUtf8Report(const std::string& ansiReport, UINT codePage);

// Appends the text to the file in text mode ("\n" becomes CR LF), creating
// the file when missing and keeping other writers out while it is open.
// `names`: the paths and names that the text holds, which must reach the
// file unchanged (ChooseReportForm; without the manifest's UTF-8, the text
// goes as it is). False when opening, writing or closing fails.
bool AppendReportText(const std::string& path, const std::string& text,
                      const std::vector<std::string>& names);
