// On 64-bit Windows a 32-bit program sees SysWOW64 where it names System32,
// the 32-bit view of the machine's software keys, and no module of a 64-bit
// process: it would act on other files than the user named. Each 32-bit
// program therefore carries its own 64-bit build (resource
// IDR_NATIVE_PROGRAM) and, there, runs it in its place: written into a new
// folder of the user's temporary folder, started with the same command line,
// standard handles, current folder and environment, waited for and removed.
// Its exit code is the program's.
#pragma once

#include <windows.h>

#include <string>

// True when this program must hand over to its 64-bit build: a 32-bit
// process on 64-bit Windows. Windows 98, 2000 and every 32-bit Windows run
// the program itself.
bool NeedsNativeProgram();

// Runs the carried 64-bit build in this program's place and waits for it
// to end. True with its exit code; false, with the last error, when it
// could not be written or started: nothing was done in the program's name.
// Ctrl+C and Ctrl+Break are the 64-bit program's to answer; a closed console
// ends both; the 64-bit program ends with this one however this one ends
// (where the system lets a job hold it).
bool RunNativeProgram(DWORD& exitCode);

// The name of the folder of one run, "Orvane-<process id>-<serial>" (the id
// in 8 hexadecimal digits), and the process id read back from such a name;
// false for any other name.
std::string FormatRunFolderName(DWORD processId, unsigned serial);
bool ParseRunFolderName(const std::string& name, DWORD& processId);
