// The text report appended beside each program.
#pragma once

#include <windows.h>

#include <string>

class CFileInfoList;

// The running program's path with the extension ".txt"; empty when it
// cannot be formed.
std::string GetReportFilePath();

// Appends the error report for a message of the string table and a Windows
// error code (0: none) to the program's report file. Failures are silent.
void WriteErrorReport(UINT messageId, DWORD errorCode);

// Appends a dated block to the program's report file: the current date, a
// blank line, the text, a blank line. False when the text could not be
// written (last error set).
bool AppendDatedReport(const std::string& text);

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

// Appends the text to the file in text mode ("\n" becomes CR LF), creating
// the file when missing and keeping other writers out while it is open.
// False when opening, writing or closing fails.
bool AppendReportText(const std::string& path, const std::string& text);
