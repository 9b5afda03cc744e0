// The processes that hold a file or a folder open, found in the system's
// handle table (NT family): each handle of another process that may be a
// file is duplicated here and asked its name, on a worker that is given up
// where a query hangs.
#pragma once

#include "inspect/HolderList.h"
#include "inspect/ModuleScan.h"

#include <windows.h>

#include <string>
#include <vector>

// True on a system whose handle table this scan reads (the NT family).
bool HasHandleTable();

// The processes other than this one that hold `path` open, or something
// inside it, their current folder included; each once, with the values of
// the handles found open on it. `enumProcesses`
// (may be null) lists the processes that the older table's 16-bit ids
// stand for. False with ERROR_NOT_SUPPORTED where the system keeps no
// handle table.
bool FindOpeners(const std::string& path, EnumProcessesProc enumProcesses, CHolderList& openers);
