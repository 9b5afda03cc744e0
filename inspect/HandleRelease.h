// Frees a file (or a folder) that another process holds open while that
// process goes on running: the handles it has on the object are closed from
// here. The program loses what it had not yet written through them and may
// fail afterwards; loaded modules are never touched. No window code: the
// console program releases too.
#pragma once

#include "inspect/HolderList.h"

#include <windows.h>

#include <cstddef>
#include <string>

// Why the handles of a process are not closed.
enum EReleaseRule
{
    ReleaseAllowed,
    // The system process, one the system cannot live without, or one whose
    // executable is unknown (it could be either).
    ReleaseRefusedCritical,
    // This program: this process, or the 32-bit program it runs for.
    ReleaseRefusedOwn,
};

// The system process (ids 0, 4 and 8 on the versions that have it so) and
// those whose executable's file name is csrss.exe, smss.exe, wininit.exe,
// services.exe, lsass.exe or winlogon.exe, in any letter case and folder. An
// empty image path counts too.
bool IsCriticalProcess(DWORD processId, const std::string& imagePath);

// This process, the 32-bit program it runs for, or another copy of this
// program (by its executable).
bool IsOwnProgramProcess(DWORD processId, const std::string& imagePath);

EReleaseRule GetReleaseRule(DWORD processId, const std::string& imagePath);

// Closes the holder's handles that still name `path` or something inside it:
// right before each is closed it is duplicated, named and compared as the
// holder scan does, and a value that now names another object (the program
// closed it and opened something else) is left alone. `closed` counts the
// handles closed. False, with the error in the last-error value, when the
// rule refuses the process (ERROR_ACCESS_DENIED, nothing closed), when it
// cannot be opened, when a close fails, or when naming a handle did not
// return in time (WAIT_TIMEOUT: that handle is left alone); the other
// handles are closed still.
bool ReleaseHandles(const SHolder& holder, const std::string& path, std::size_t& closed);
