// Who holds a file or a folder: the processes that have it loaded (as their
// executable, a DLL or a 16-bit task) and, on the NT family, those that hold
// it open, found in the system's handle table. No window code: the console
// program reports the same holders.
#pragma once

#include "inspect/HandleScan.h"
#include "inspect/HolderList.h"
#include "inspect/ModuleScan.h"

#include <windows.h>

#include <string>
#include <vector>

class CHolderScan : public CModuleScan
{
public:
    // The module holders and, on the NT family, those that hold `path`
    // open (see FindOpeners), one row per process. False only when the
    // module scan could not run; a handle table that cannot be read leaves
    // the module holders.
    bool Scan(const std::string& path, CHolderList& holders);
    // Only those that hold `path` open (NT family), with their handles.
    bool ScanOpen(const std::string& path, CHolderList& holders);

private:
    // One row per opener: merged into the row of a process found already.
    void AddOpeners(const CHolderList& openers, CHolderList& holders);

    // The handle-table scan, run beside the module scan. It reads no member
    // of the scan but the PSAPI entry points, loaded before it starts.
    struct SOpenerSearch
    {
        EnumProcessesProc enumProcesses;
        std::string path;
        CHolderList openers;
    };
    static DWORD WINAPI OpenerThread(void* parameter);
};
