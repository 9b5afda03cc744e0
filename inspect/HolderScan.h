// Who holds a file or a folder: the processes that have it loaded (as their
// executable, a DLL or a 16-bit task) and, on the NT family, those that hold
// it open, found in the system's handle table. No window code: the console
// program reports the same holders.
#pragma once

#include "engine/Handles.h"

#include <windows.h>
#include <tlhelp32.h>

#include <cstddef>
#include <memory>
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

// True when `path` names `target` itself or something inside it: a file of
// the folder, or a stream of the file ("held.txt:notes"). No case; both
// are full paths, a trailing backslash of either is not part of the name.
bool IsAtOrBelow(const std::string& path, const std::string& target);

// One drive letter and the device it stands for, as QueryDosDeviceA tells.
struct SDosDevice
{
    std::string drive;  // "C:"
    std::string device; // "\Device\HarddiskVolume2"
};

// The drive path of the native name of an open file: "\??\C:\x" (as Wine
// names files; also "\GLOBAL??\" and "\DosDevices\"), a device of `devices`
// followed by the rest of the path ("\Device\HarddiskVolume2\x" is "C:\x"
// when C: is that device), network names ("\??\UNC\s\share\x",
// "\Device\Mup\s\share\x" are "\\s\share\x"). Empty when the name has no
// drive path (pipes, devices, a volume that no letter shows).
std::string MapNativePath(const std::string& native, const std::vector<SDosDevice>& devices);

// The native names of the images that early system processes report
// ("\SystemRoot\...", "\??\C:\...") as plain paths, environment strings
// expanded, blanks and double quotes trimmed at both ends.
std::string NormalizeImagePath(const std::string& raw);

// How the holder scan names a handle open in another process and tells
// whether it is on the object searched for. Copies of it name handles on
// other threads.
class COpenFileNamer
{
public:
    // The object as the handle table names it: its long form, on the first
    // drive letter of its volume. False with ERROR_NOT_SUPPORTED where the
    // system cannot name handles.
    bool Open(const std::string& path);
    const std::string& GetTarget() const { return m_target; }

    // The drive path of a handle of this process when it is a disk file
    // (only those are asked: naming a pipe may never return). False for
    // anything else, and for a name that no path of this program reaches.
    bool Name(HANDLE handle, std::string& path) const;
    // Whether a path that Name gave is the object or lies inside it; a name
    // opened in its short form is made long first.
    bool IsOnTarget(const std::string& path) const;

private:
    using QueryObjectProc = LONG(WINAPI*)(HANDLE handle, ULONG infoClass, PVOID buffer, ULONG size,
                                          PULONG returned);
    bool QueryName(HANDLE handle, std::wstring& name) const;

    QueryObjectProc m_queryObject = nullptr;
    std::string m_target;
    std::vector<SDosDevice> m_devices;
};

// One entry of the system's handle table.
struct SHandleEntry
{
    ULONG_PTR processId = 0; // 16 bits only in the older table
    ULONG_PTR handle = 0;
    USHORT type = 0;
};

// The information classes of the handle table: the older one (16-bit
// process ids and handles) and the extended one of later systems.
enum : ULONG
{
    HandleTableClass = 16,
    ExtendedHandleTableClass = 64,
};

// The entries of a handle table of `size` bytes as the system fills it for
// `infoClass`. The count the table states is not trusted: never more
// entries than the bytes hold. False for a buffer too short for its header.
bool ParseHandleTable(const BYTE* data, std::size_t size, ULONG infoClass,
                      std::vector<SHandleEntry>& entries);

// The text of an object name as NtQueryObject fills `size` bytes (a counted
// UTF-16 string whose characters follow it). False when the length is odd
// or the characters do not lie wholly inside the bytes.
bool ReadObjectName(const BYTE* data, std::size_t size, std::wstring& name);

// All process ids: the buffer starts at 1024 bytes and doubles while the
// system fills it to the last byte. False with the system's error, or
// ERROR_OUTOFMEMORY.
using EnumProcessesProc = BOOL(WINAPI*)(DWORD* ids, DWORD bytes, DWORD* bytesReturned);
bool ReadProcessIds(EnumProcessesProc enumProcesses, std::vector<DWORD>& ids);

// How many module handles of an array of `capacity` may be read when the
// system reports `bytesNeeded`: never more than the array holds.
std::size_t CountModuleHandles(DWORD bytesNeeded, std::size_t capacity);

// Queries that may never return, asked one after the other on a worker
// thread. Shared with the worker: a worker left behind on a hung query keeps
// the job alive until it returns, if ever.
class CQueryJob
{
public:
    virtual ~CQueryJob() = default;
    virtual std::size_t GetCount() const = 0;
    // The answer for item `index`; false when there is none.
    virtual bool Query(std::size_t index, std::string& answer) = 0;
};

struct SQueryAnswer
{
    std::size_t index;
    std::string answer;
};

// Asks every item of the job, in order, on a worker thread. When one query
// has not returned after `limitMs` (measured from the last item the worker
// began), the worker is abandoned where it hangs and a new one goes on with
// the next item. The answers come in item order. False when no worker
// thread could be started (last error set); the answers found so far stay.
bool RunQueries(const std::shared_ptr<CQueryJob>& job, DWORD limitMs,
                std::vector<SQueryAnswer>& answers);

class CHolderScan
{
public:
    // How long a single name query may take before it is given up.
    static constexpr DWORD kQueryLimitMs = 1000;

    using OpenThreadProc = HANDLE(WINAPI*)(DWORD access, BOOL inherit, DWORD threadId);

    CHolderScan() = default;
    virtual ~CHolderScan() = default;

    CHolderScan(const CHolderScan&) = delete;
    CHolderScan& operator=(const CHolderScan&) = delete;

    // The processes (and 16-bit tasks) that have `path` loaded, or loaded
    // from inside it when it is a folder, in the system's order; an empty
    // path takes every process that can be opened. False when the method
    // could not run at all.
    bool ScanModules(const std::string& path, CHolderList& holders);

    // The module holders and, on the NT family, those that hold `path`
    // open (see FindOpeners), one row per process. False only when the
    // module scan could not run; a handle table that cannot be read leaves
    // the module holders.
    bool Scan(const std::string& path, CHolderList& holders);
    // Only those that hold `path` open (NT family), with their handles.
    bool ScanOpen(const std::string& path, CHolderList& holders);

    // True on a system whose handle table this scan reads (the NT family).
    static bool HasHandleTable();

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

private:
    using GetModuleFileNameExProc = DWORD(WINAPI*)(HANDLE, HMODULE, LPSTR, DWORD);
    using IsWow64ProcessProc = BOOL(WINAPI*)(HANDLE, PBOOL);
    using TaskEnumProc = BOOL(WINAPI*)(DWORD threadId, WORD module16, WORD task16, PSZ moduleName,
                                       PSZ fileName, LPARAM user);
    using VdmEnumTaskWowExProc = INT(WINAPI*)(DWORD processId, TaskEnumProc callback, LPARAM user);
    using ProcessWalkProc = BOOL(WINAPI*)(HANDLE, PROCESSENTRY32*);

    bool LoadPsapi();
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
    // The executable of a process found by its handles; empty when it
    // cannot be read.
    std::string ReadImagePath(DWORD processId);

    // The processes other than this one that hold `path` open, or something
    // inside it, their current folder included; each once. NT family only:
    // false with ERROR_NOT_SUPPORTED where the system keeps no handle table.
    // Reads no member but the PSAPI entry points, which must be loaded
    // before: it runs beside the module scan. Each opener with the handles
    // found on the object.
    bool FindOpeners(const std::string& path, CHolderList& openers) const;
    // One row per opener: merged into the row of a process found already.
    void AddOpeners(const CHolderList& openers, CHolderList& holders);

    struct SOpenerSearch
    {
        const CHolderScan* scan;
        std::string path;
        CHolderList openers;
    };
    static DWORD WINAPI OpenerThread(void* parameter);

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
