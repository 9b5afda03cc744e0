// Which processes have a file loaded, and ending one of them. The system
// libraries are loaded by name when first needed and freed with the
// manager, which lives for one enumeration or one termination.
#pragma once

#include "Handles.h"
#include "Process.h"

#include <windows.h>
#include <tlhelp32.h>

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

using CProcessList = std::vector<std::unique_ptr<CProcess>>;

using EnumProcessesProc = BOOL(WINAPI*)(DWORD* ids, DWORD bytes, DWORD* bytesReturned);

// All process ids: the buffer starts at 1024 bytes and doubles while the
// system fills it to the last byte. False with the system's error, or
// ERROR_OUTOFMEMORY.
bool ReadProcessIds(EnumProcessesProc enumProcesses, std::vector<DWORD>& ids);

// How many module handles of an array of `capacity` may be read when the
// system reports `bytesNeeded`: never more than the array holds.
std::size_t CountModuleHandles(DWORD bytesNeeded, std::size_t capacity);

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

    // Tells the windows of the process (or task) to close, waits, and kills
    // it only when `confirmKill` agrees. True when it ended; the outcome
    // code is left in the thread's last-error value.
    bool EndProcess(const CProcess& record, ConfirmKillProc confirmKill = AskKill,
                    DWORD waitMs = kCloseWaitMs);

    // Message 44 with the image name; true for Yes.
    static bool AskKill(const std::string& imageName);

private:
    using EnumProcessModulesProc = BOOL(WINAPI*)(HANDLE, HMODULE*, DWORD, DWORD*);
    using GetModuleFileNameExProc = DWORD(WINAPI*)(HANDLE, HMODULE, LPSTR, DWORD);
    using TaskEnumProc = BOOL(WINAPI*)(DWORD threadId, WORD module16, WORD task16, PSZ moduleName,
                                       PSZ fileName, LPARAM user);
    using VdmEnumTaskWowExProc = INT(WINAPI*)(DWORD processId, TaskEnumProc callback, LPARAM user);
    using CreateSnapshotProc = HANDLE(WINAPI*)(DWORD flags, DWORD processId);
    using ProcessWalkProc = BOOL(WINAPI*)(HANDLE, PROCESSENTRY32*);
    using ModuleWalkProc = BOOL(WINAPI*)(HANDLE, MODULEENTRY32*);
    using OpenThreadProc = HANDLE(WINAPI*)(DWORD, BOOL, DWORD);

    bool LoadPsapi();
    bool LoadVdm();
    bool LoadToolhelp();

    bool EnumerateNT();
    bool EnumerateToolhelp();
    bool IsTarget(const std::string& path) const;
    // The 16-bit tasks of one NTVDM process; true when one was added.
    bool ScanTasks(DWORD processId);
    static BOOL WINAPI TaskCallback(DWORD threadId, WORD module16, WORD task16, PSZ moduleName,
                                    PSZ fileName, LPARAM user);
    bool Add(DWORD processId, DWORD taskThreadId, const std::string& path);

    CModule m_psapi;
    CModule m_vdm;
    CModule m_kernel;
    EnumProcessesProc m_enumProcesses = nullptr;
    EnumProcessModulesProc m_enumProcessModules = nullptr;
    GetModuleFileNameExProc m_getModuleFileNameEx = nullptr;
    VdmEnumTaskWowExProc m_vdmEnumTaskWowEx = nullptr;
    CreateSnapshotProc m_createSnapshot = nullptr;
    ProcessWalkProc m_process32First = nullptr;
    ProcessWalkProc m_process32Next = nullptr;
    ModuleWalkProc m_module32First = nullptr;
    ModuleWalkProc m_module32Next = nullptr;
    OpenThreadProc m_openThread = nullptr;

    std::string m_target;
    CProcessList* m_list = nullptr;
    DWORD m_vdmProcessId = 0;
    bool m_taskAdded = false;
};
