// The rows of the holder scan: one per process (and 16-bit task) that holds
// a file or a folder, and how it holds it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// How a process holds the object; a process may do both.
enum EHeldAs : DWORD
{
    HeldLoaded = 1,
    HeldOpen = 2,
};

struct SHolder
{
    DWORD processId = 0;
    // Non-zero for a 16-bit task: the thread that runs it inside NTVDM.
    DWORD taskThreadId = 0;
    // The executable (the task's program file), as the system names it.
    std::string imagePath;
    DWORD heldAs = 0;
    // The values, in that process, of the handles found open on the object.
    std::vector<ULONG_PTR> openHandles;
};
using CHolderList = std::vector<SHolder>;

// "chargé", "ouvert" or "chargé et ouvert" from the running program's
// string table.
std::string GetHeldAsText(DWORD heldAs);

// One row per process (and 16-bit task): a process found again adds the way
// it holds the object and its open handles to its first row, and keeps its
// first known image.
// False, nothing changed, when memory runs out.
bool MergeHolder(CHolderList& holders, const SHolder& holder);
