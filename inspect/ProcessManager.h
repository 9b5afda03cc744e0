// Which processes have a file loaded, and ending one of them. The system
// libraries are loaded by name when first needed and freed with the
// manager, which lives for one enumeration or one termination.
#pragma once

#include "inspect/HolderScan.h"
#include "inspect/Process.h"

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

using CProcessList = std::vector<std::unique_ptr<CProcess>>;

class CProcessManager
{
public:
    // Time a process gets to end once its windows were told to close.
    static constexpr DWORD kCloseWaitMs = 5000;
    // Asked when the process outlived that time: true kills it.
    using ConfirmKillProc = bool (*)(const std::string& imageName);

    CProcessManager() = default;
    virtual ~CProcessManager() = default;

    CProcessManager(const CProcessManager&) = delete;
    CProcessManager& operator=(const CProcessManager&) = delete;

    // Appends a record for every process (and 16-bit task) that has `path`
    // loaded, in the system's order; an empty path takes every process
    // that can be opened. False when the method could not run at all.
    bool EnumerateProcesses(const std::string& path, CProcessList& list);

    // Every process that holds `path`, loaded or open (or, for a folder,
    // something inside it), one record per process that says how. On a
    // system without a handle table, the processes that have it loaded.
    bool EnumerateHolders(const std::string& path, CProcessList& list);

    // Tells the windows of the process (or task) to close, waits, and kills
    // it only when `confirmKill` agrees. True when it ended; the outcome
    // code is left in the thread's last-error value.
    bool EndProcess(const CProcess& record, ConfirmKillProc confirmKill = AskKill,
                    DWORD waitMs = kCloseWaitMs);

    // Message 44 with the image name; true for Yes.
    static bool AskKill(const std::string& imageName);

private:
    // One record per holder; a record that cannot be allocated is left out.
    static void AddRecords(const CHolderList& holders, CProcessList& list);

    CHolderScan m_scan;
};
