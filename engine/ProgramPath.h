// The program's own file as the user knows it. On 64-bit Windows the 32-bit
// program starts its 64-bit build in its place (engine/NativeProgram.h); that
// build runs from a temporary folder, and everything that names the program
// (the report beside it, the context-menu command, the version shown) names
// the 32-bit file the user started.
#pragma once

#include <windows.h>

#include <string>

// The environment variable through which the 32-bit program names itself to
// the 64-bit build it starts in its place.
extern const char kStartedForVariable[];

// The program's own path: the 32-bit file's when this is its 64-bit build
// started in its place, else this module's. Empty on failure. The first call
// takes the variable out of the environment, so that nothing this program
// starts inherits it: make it before any other thread runs.
std::string GetProgramPath();

// The file this process runs from, wherever that is.
std::string GetImagePath();

// The process id of the 32-bit program that started this one in its place;
// 0 when this one was started directly.
DWORD GetStartedForProcessId();

// The process id and path of the variable's value "<process id>|<full
// path>" when it is well formed: a decimal id other than 0, a full drive or
// UNC path that fits a path buffer. False otherwise.
bool ParseStartedFor(const std::string& value, DWORD& processId, std::string& path);
