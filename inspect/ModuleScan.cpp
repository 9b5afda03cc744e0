#include "inspect/ModuleScan.h"

#include "engine/Text.h"
#include "inspect/HeapBuffer.h"
#include "inspect/NativePaths.h"

#include <shlwapi.h>

#include <algorithm>
#include <cstring>
#include <new>

namespace
{

// LIST_MODULES_ALL and TH32CS_SNAPMODULE32, which the Windows 2000 headers lack.
constexpr DWORD kListAllModules = 0x03;
constexpr DWORD kSnapModule32 = 0x10;

} // namespace

bool ReadProcessIds(EnumProcessesProc enumProcesses, std::vector<DWORD>& ids)
{
    ids.clear();
    try
    {
        for (std::size_t bytes = 1024;; bytes *= 2)
        {
            std::vector<DWORD> buffer(bytes / sizeof(DWORD));
            DWORD returned = 0;
            if (!enumProcesses(buffer.data(), static_cast<DWORD>(bytes), &returned))
                return false;
            // A full buffer may have cut the list short.
            if (returned < bytes)
            {
                buffer.resize(returned / sizeof(DWORD));
                ids.swap(buffer);
                return true;
            }
        }
    }
    catch (const std::bad_alloc&)
    {
        ::SetLastError(ERROR_OUTOFMEMORY);
        return false;
    }
}

std::size_t CountModuleHandles(DWORD bytesNeeded, std::size_t capacity)
{
    return std::min<std::size_t>(bytesNeeded / sizeof(HMODULE), capacity);
}

bool CModuleScan::LoadPsapi()
{
    if (m_psapi)
        return true;
    CModule library(::LoadLibraryA("PSAPI.DLL"));
    if (!library)
        return false;
    if (!ResolveExport(library.Get(), "EnumProcesses", m_enumProcesses) ||
        !ResolveExport(library.Get(), "EnumProcessModules", m_enumProcessModules) ||
        !ResolveExport(library.Get(), "GetModuleFileNameExA", m_getModuleFileNameEx))
    {
        m_enumProcesses = nullptr;
        m_enumProcessModules = nullptr;
        m_getModuleFileNameEx = nullptr;
        ::SetLastError(ERROR_NOT_SUPPORTED);
        return false;
    }
    // Vista and later: from a 64-bit process, only this call lists the
    // 32-bit modules of a 32-bit one.
    ResolveExport(library.Get(), "EnumProcessModulesEx", m_enumProcessModulesEx);
    ResolveExport(::GetModuleHandleA("kernel32.dll"), "IsWow64Process", m_isWow64Process);
    m_psapi = std::move(library);
    return true;
}

bool CModuleScan::ReplaceModuleListing(EnumProcessModulesProc plain, EnumProcessModulesExProc filtered)
{
    if (!LoadPsapi())
        return false;
    m_enumProcessModules = plain;
    m_enumProcessModulesEx = filtered;
    return true;
}

bool CModuleScan::LoadVdm()
{
    if (m_vdm)
        return true;
    CModule library(::LoadLibraryA("VDMDBG.DLL"));
    if (!library)
        return false;
    if (!ResolveExport(library.Get(), "VDMEnumTaskWOWEx", m_vdmEnumTaskWowEx))
    {
        ::SetLastError(ERROR_NOT_SUPPORTED);
        return false;
    }
    m_vdm = std::move(library);
    return true;
}

bool CModuleScan::LoadToolhelp()
{
    if (m_kernel)
        return true;
    CModule library(::LoadLibraryA("KERNEL32.DLL"));
    if (!library)
        return false;
    if (!ResolveExport(library.Get(), "CreateToolhelp32Snapshot", m_createSnapshot) ||
        !ResolveExport(library.Get(), "Process32First", m_process32First) ||
        !ResolveExport(library.Get(), "Process32Next", m_process32Next) ||
        !ResolveExport(library.Get(), "Module32First", m_module32First) ||
        !ResolveExport(library.Get(), "Module32Next", m_module32Next))
    {
        m_createSnapshot = nullptr;
        m_process32First = nullptr;
        m_process32Next = nullptr;
        m_module32First = nullptr;
        m_module32Next = nullptr;
        ::SetLastError(ERROR_NOT_SUPPORTED);
        return false;
    }
    // Needed only to end 16-bit tasks; older systems lack it.
    ResolveExport(library.Get(), "OpenThread", m_openThread);
    m_kernel = std::move(library);
    return true;
}

bool CModuleScan::ScanModules(const std::string& path, CHolderList& holders)
{
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof(version);
    if (!::GetVersionExA(&version))
        return false;

    m_target = path;
    m_targetIsFolder = !path.empty() && ::PathIsDirectoryA(path.c_str());
    m_holders = &holders;
    switch (version.dwPlatformId)
    {
    case VER_PLATFORM_WIN32_NT:
        return ScanModulesNT();
    case VER_PLATFORM_WIN32_WINDOWS:
        return ScanModulesToolhelp();
    default:
        ::SetLastError(ERROR_NOT_SUPPORTED);
        return false;
    }
}

bool CModuleScan::IsTarget(const std::string& path) const
{
    return m_targetIsFolder ? IsAtOrBelow(path, m_target) : IsSameText(path, m_target);
}

bool CModuleScan::ScanModulesNT()
{
    // Without VDMDBG the NT method does not run at all; 64-bit Windows runs
    // no 16-bit task and may lack it.
    if (!LoadPsapi())
        return false;
#if defined(_WIN64)
    const bool vdm = LoadVdm();
#else
    if (!LoadVdm())
        return false;
    const bool vdm = true;
#endif
    std::vector<DWORD> ids;
    if (!ReadProcessIds(m_enumProcesses, ids))
        return false;

    static constexpr std::size_t kModuleCapacity = 1024;
    const std::unique_ptr<HMODULE[]> modules = AllocateBuffer<HMODULE>(kModuleCapacity);
    if (!modules)
        return false;

    for (const DWORD processId : ids)
    {
        std::string imagePath;
        CHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId));
        if (process)
        {
            imagePath = ReadModulePath(process.Get(), nullptr);

            if (m_target.empty())
            {
                Add(processId, 0, imagePath, HeldLoaded);
            }
            else if (HoldsTargetModule(process.Get(), processId, modules.get(), kModuleCapacity))
            {
                // The process is listed once, with its executable.
                Add(processId, 0, imagePath, HeldLoaded);
            }
            process.Reset();
        }
        if (vdm && IsSameText(::PathFindFileNameA(imagePath.c_str()), "NTVDM.EXE") && ScanTasks(processId))
            break;
    }
    return true;
}

bool CModuleScan::HoldsTargetModule(HANDLE process, DWORD processId, HMODULE* modules, std::size_t capacity)
{
    const DWORD bytes = static_cast<DWORD>(capacity * sizeof(HMODULE));
    DWORD needed = 0;
    BOOL listed = FALSE;
    if (m_enumProcessModulesEx)
    {
        listed = m_enumProcessModulesEx(process, modules, bytes, &needed, kListAllModules);
    }
    else
    {
        // Before Vista a 64-bit process sees only the 64-bit modules of a
        // 32-bit one through its handles; Toolhelp lists the others.
        BOOL wow64 = FALSE;
        if (m_isWow64Process && m_isWow64Process(process, &wow64) && wow64 && HoldsTargetModule32(processId))
            return true;
        listed = m_enumProcessModules(process, modules, bytes, &needed);
    }
    if (!listed)
        return false;
    const std::size_t count = CountModuleHandles(needed, capacity);
    for (std::size_t i = 0; i < count; ++i)
    {
        const std::string modulePath = ReadModulePath(process, modules[i]);
        if (!modulePath.empty() && IsTarget(modulePath))
            return true;
    }
    return false;
}

bool CModuleScan::HoldsTargetModule32(DWORD processId)
{
    return LoadToolhelp() && HoldsTargetBySnapshot(processId, TH32CS_SNAPMODULE | kSnapModule32);
}

bool CModuleScan::HoldsTargetBySnapshot(DWORD processId, DWORD flags)
{
    CFileHandle modules(m_createSnapshot(flags, processId));
    if (!modules)
        return false;
    MODULEENTRY32 module{};
    module.dwSize = sizeof(module);
    for (BOOL more = m_module32First(modules.Get(), &module); more;
         more = m_module32Next(modules.Get(), &module))
    {
        module.szExePath[MAX_PATH - 1] = '\0';
        if (m_target.empty() || IsTarget(module.szExePath))
            return true;
    }
    return false;
}

bool CModuleScan::ReplaceToolhelp(CreateSnapshotProc createSnapshot, ModuleWalkProc first, ModuleWalkProc next)
{
    if (!LoadToolhelp())
        return false;
    m_createSnapshot = createSnapshot;
    m_module32First = first;
    m_module32Next = next;
    return true;
}

bool CModuleScan::ScanModulesToolhelp()
{
    if (!LoadToolhelp())
        return false;
    // 16-bit tasks are looked at only when VDMDBG is there.
    const bool vdm = LoadVdm();

    CFileHandle processes(m_createSnapshot(TH32CS_SNAPPROCESS, 0));
    if (!processes)
        return false;

    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = m_process32First(processes.Get(), &entry); more;
         more = m_process32Next(processes.Get(), &entry))
    {
        entry.szExeFile[MAX_PATH - 1] = '\0';
        if (HoldsTargetBySnapshot(entry.th32ProcessID, TH32CS_SNAPMODULE))
            Add(entry.th32ProcessID, 0, entry.szExeFile, HeldLoaded);
        if (vdm && IsSameText(entry.szExeFile, "NTVDM.EXE") && ScanTasks(entry.th32ProcessID))
            break;
    }
    return true;
}

bool CModuleScan::ScanTasks(DWORD processId)
{
    m_vdmProcessId = processId;
    m_taskAdded = false;
    m_vdmEnumTaskWowEx(processId, TaskCallback, reinterpret_cast<LPARAM>(this));
    return m_taskAdded;
}

BOOL WINAPI CModuleScan::TaskCallback(DWORD threadId, WORD /*module16*/, WORD /*task16*/,
                                      PSZ /*moduleName*/, PSZ fileName, LPARAM user)
{
    auto* scan = reinterpret_cast<CModuleScan*>(user);
    if (scan && fileName)
    {
        // The name comes from another process: bounded before use.
        const std::string name(fileName, ::strnlen(fileName, MAX_PATH - 1));
        if (scan->IsTarget(name) && scan->Add(scan->m_vdmProcessId, threadId, name, HeldLoaded))
            scan->m_taskAdded = true;
    }
    // Every task of this NTVDM process is examined.
    return FALSE;
}

bool CModuleScan::Add(DWORD processId, DWORD taskThreadId, const std::string& path, DWORD heldAs)
{
    try
    {
        SHolder holder;
        holder.processId = processId;
        holder.taskThreadId = taskThreadId;
        holder.imagePath = path;
        holder.heldAs = heldAs;
        m_holders->push_back(std::move(holder));
        return true;
    }
    catch (const std::bad_alloc&)
    {
        return false;
    }
}

std::string CModuleScan::ReadImagePath(DWORD processId)
{
    if (!LoadPsapi())
        return std::string();
    CHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId));
    return process ? ReadModulePath(process.Get(), nullptr) : std::string();
}

std::string CModuleScan::ReadModulePath(HANDLE process, HMODULE module) const
{
    // A path of MAX_PATH characters takes up to three bytes a character in
    // UTF-8. A call that fills the buffer has cut the path.
    char path[3 * MAX_PATH] = {};
    const DWORD length = m_getModuleFileNameEx(process, module, path, sizeof(path));
    if (length == 0 || length >= sizeof(path) - 1)
        return std::string();
    return std::string(path, length);
}
