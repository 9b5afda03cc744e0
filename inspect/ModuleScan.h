// The processes that have a file loaded, as their executable, a DLL or a
// 16-bit task: through PSAPI and VDMDBG on the NT family, through Toolhelp
// on Windows 9x/Me, each library loaded at run time.
#pragma once

#include "engine/Handles.h"
#include "inspect/HolderList.h"

#include <windows.h>
#include <tlhelp32.h>

#include <cstddef>
#include <string>
#include <vector>

// All process ids: the buffer starts at 1024 bytes and doubles while the
// system fills it to the last byte. False with the system's error, or
// ERROR_OUTOFMEMORY.
using EnumProcessesProc = BOOL(WINAPI*)(DWORD* ids, DWORD bytes, DWORD* bytesReturned);
bool ReadProcessIds(EnumProcessesProc enumProcesses, std::vector<DWORD>& ids);

// How many module handles of an array of `capacity` may be read when the
// system reports `bytesNeeded`: never more than the array holds.
std::size_t CountModuleHandles(DWORD bytesNeeded, std::size_t capacity);

class CModuleScan
{
public:
    using OpenThreadProc = HANDLE(WINAPI*)(DWORD access, BOOL inherit, DWORD threadId);

    CModuleScan() = default;
    virtual ~CModuleScan() = default;

    CModuleScan(const CModuleScan&) = delete;
    CModuleScan& operator=(const CModuleScan&) = delete;

    // The processes (and 16-bit tasks) that have `path` loaded, or loaded
    // from inside it when it is a folder, in the system's order; an empty
    // path takes every process that can be opened. False when the method
    // could not run at all.
    bool ScanModules(const std::string& path, CHolderList& holders);

    // The toolhelp entry points of KERNEL32; OpenThread is optional.
    bool LoadToolhelp();
    OpenThreadProc GetOpenThread() const { return m_openThread; }

protected:
    using EnumProcessModulesProc = BOOL(WINAPI*)(HANDLE, HMODULE*, DWORD, DWORD*);
    using EnumProcessModulesExProc = BOOL(WINAPI*)(HANDLE, HMODULE*, DWORD, DWORD*, DWORD);

    // Stands another system's module listing in for this one's: the plain
    // call, and the one with a filter (null: a system without it, before
    // Vista). False when PSAPI cannot be loaded.
    bool ReplaceModuleListing(EnumProcessModulesProc plain, EnumProcessModulesExProc filtered);

    using CreateSnapshotProc = HANDLE(WINAPI*)(DWORD flags, DWORD processId);
    using ModuleWalkProc = BOOL(WINAPI*)(HANDLE, MODULEENTRY32*);
    // The same for the module snapshots of Toolhelp. False when KERNEL32
    // lacks Toolhelp.
    bool ReplaceToolhelp(CreateSnapshotProc createSnapshot, ModuleWalkProc first, ModuleWalkProc next);

    // The PSAPI entry points; EnumProcesses is null until they are loaded.
    bool LoadPsapi();
    EnumProcessesProc GetEnumProcesses() const { return m_enumProcesses; }

    // The executable of a process found by its handles; empty when it
    // cannot be read.
    std::string ReadImagePath(DWORD processId);

private:
    using GetModuleFileNameExProc = DWORD(WINAPI*)(HANDLE, HMODULE, LPSTR, DWORD);
    using IsWow64ProcessProc = BOOL(WINAPI*)(HANDLE, PBOOL);
    using TaskEnumProc = BOOL(WINAPI*)(DWORD threadId, WORD module16, WORD task16, PSZ moduleName,
                                       PSZ fileName, LPARAM user);
    using VdmEnumTaskWowExProc = INT(WINAPI*)(DWORD processId, TaskEnumProc callback, LPARAM user);
    using ProcessWalkProc = BOOL(WINAPI*)(HANDLE, PROCESSENTRY32*);

    bool LoadVdm();

    bool ScanModulesNT();
    bool ScanModulesToolhelp();
    // The process has the target loaded, by its module handles, or by a
    // Toolhelp snapshot of its 32-bit modules where the handles miss them.
    bool HoldsTargetModule(HANDLE process, DWORD processId, HMODULE* modules, std::size_t capacity);
    bool HoldsTargetModule32(DWORD processId);
    // A module of the snapshot `flags` of the process is the target (any
    // module, when the target is empty).
    bool HoldsTargetBySnapshot(DWORD processId, DWORD flags);
    bool IsTarget(const std::string& path) const;
    // The 16-bit tasks of one NTVDM process; true when one was added.
    bool ScanTasks(DWORD processId);
    static BOOL WINAPI TaskCallback(DWORD threadId, WORD module16, WORD task16, PSZ moduleName,
                                    PSZ fileName, LPARAM user);
    bool Add(DWORD processId, DWORD taskThreadId, const std::string& path, DWORD heldAs);
    // The path of a module of the process (null: its executable) whole;
    // empty when it cannot be read or does not fit (never a path cut short,
    // which would name another file).
    std::string ReadModulePath(HANDLE process, HMODULE module) const;

    CModule m_psapi;
    CModule m_vdm;
    CModule m_kernel;
    EnumProcessesProc m_enumProcesses = nullptr;
    EnumProcessModulesProc m_enumProcessModules = nullptr;
    EnumProcessModulesExProc m_enumProcessModulesEx = nullptr;
    IsWow64ProcessProc m_isWow64Process = nullptr;
    GetModuleFileNameExProc m_getModuleFileNameEx = nullptr;
    VdmEnumTaskWowExProc m_vdmEnumTaskWowEx = nullptr;
    CreateSnapshotProc m_createSnapshot = nullptr;
    ProcessWalkProc m_process32First = nullptr;
    ProcessWalkProc m_process32Next = nullptr;
    ModuleWalkProc m_module32First = nullptr;
    ModuleWalkProc m_module32Next = nullptr;
    OpenThreadProc m_openThread = nullptr;

    std::string m_target;
    bool m_targetIsFolder = false;
    CHolderList* m_holders = nullptr;
    DWORD m_vdmProcessId = 0;
    bool m_taskAdded = false;
};
