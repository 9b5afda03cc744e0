// The text report appended beside each program.
#pragma once

#include <windows.h>

#include <string>

// The running program's path with the extension ".txt".
std::string GetReportFilePath();

// Appends the error report for a message of the string table and a Windows
// error code (0: none) to the program's report file. Failures are silent.
void WriteErrorReport(UINT messageId, DWORD errorCode);
