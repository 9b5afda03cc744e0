#include "ProcessManager.h"

#include "HeapBuffer.h"
#include "Text.h"
#include "WizardMessages.h"
#include "resource.h"

#include <shlwapi.h>

#include <algorithm>
#include <new>

namespace
{

// Exit code of a process or task killed after the user agreed.
constexpr UINT kKilledExitCode = 0xDEADDEED;

struct SWindowSearch
{
    DWORD processId;
    DWORD threadId;
};

BOOL CALLBACK CloseWindowsOf(HWND hwnd, LPARAM lParam)
{
    const auto* search = reinterpret_cast<const SWindowSearch*>(lParam);
    DWORD processId = 0;
    const DWORD threadId = ::GetWindowThreadProcessId(hwnd, &processId);
    if (processId == search->processId && (search->threadId == 0 || threadId == search->threadId))
    {
        ::PostMessageA(hwnd, WM_QUIT, 0, 0);
        ::PostMessageA(hwnd, WM_CLOSE, 0, 0);
        ::PostMessageA(hwnd, WM_DESTROY, 0, 0);
    }
    return TRUE;
}

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

bool CProcessManager::LoadPsapi()
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
    m_psapi = std::move(library);
    return true;
}

bool CProcessManager::LoadVdm()
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

bool CProcessManager::LoadToolhelp()
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

bool CProcessManager::EnumerateProcesses(const std::string& path, CProcessList& list)
{
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof(version);
    if (!::GetVersionExA(&version))
        return false;

    m_target = path;
    m_list = &list;
    switch (version.dwPlatformId)
    {
    case VER_PLATFORM_WIN32_NT:
        return EnumerateNT();
    case VER_PLATFORM_WIN32_WINDOWS:
        return EnumerateToolhelp();
    default:
        ::SetLastError(ERROR_NOT_SUPPORTED);
        return false;
    }
}

bool CProcessManager::IsTarget(const std::string& path) const
{
    return IsSameText(path, m_target);
}

bool CProcessManager::EnumerateNT()
{
    // Without VDMDBG the NT method does not run at all.
    if (!LoadPsapi() || !LoadVdm())
        return false;
    std::vector<DWORD> ids;
    if (!ReadProcessIds(m_enumProcesses, ids))
        return false;

    static constexpr std::size_t kModuleCapacity = 1024;
    const std::unique_ptr<HMODULE[]> modules = AllocateBuffer<HMODULE>(kModuleCapacity);
    if (!modules)
        return false;

    for (const DWORD processId : ids)
    {
        char imagePath[MAX_PATH] = {};
        CHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId));
        if (process)
        {
            if (m_getModuleFileNameEx(process.Get(), nullptr, imagePath, MAX_PATH) == 0)
                imagePath[0] = '\0';
            imagePath[MAX_PATH - 1] = '\0';

            if (m_target.empty())
            {
                Add(processId, 0, imagePath);
            }
            else
            {
                DWORD needed = 0;
                if (m_enumProcessModules(process.Get(), modules.get(),
                                         static_cast<DWORD>(kModuleCapacity * sizeof(HMODULE)),
                                         &needed))
                {
                    const std::size_t count = CountModuleHandles(needed, kModuleCapacity);
                    for (std::size_t i = 0; i < count; ++i)
                    {
                        char modulePath[MAX_PATH] = {};
                        const DWORD length =
                            m_getModuleFileNameEx(process.Get(), modules[i], modulePath, MAX_PATH);
                        modulePath[MAX_PATH - 1] = '\0';
                        // The process is listed once, with its executable.
                        if (length != 0 && IsTarget(modulePath))
                        {
                            Add(processId, 0, imagePath);
                            break;
                        }
                    }
                }
            }
            process.Reset();
        }
        if (IsSameText(::PathFindFileNameA(imagePath), "NTVDM.EXE") && ScanTasks(processId))
            break;
    }
    return true;
}

bool CProcessManager::EnumerateToolhelp()
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
        CFileHandle modules(m_createSnapshot(TH32CS_SNAPMODULE, entry.th32ProcessID));
        if (!modules)
            continue;
        MODULEENTRY32 module{};
        module.dwSize = sizeof(module);
        if (m_module32First(modules.Get(), &module))
        {
            do
            {
                module.szExePath[MAX_PATH - 1] = '\0';
                if (m_target.empty() || IsTarget(module.szExePath))
                {
                    Add(entry.th32ProcessID, 0, entry.szExeFile);
                    break;
                }
            } while (m_module32Next(modules.Get(), &module));
        }
        modules.Reset();
        if (vdm && IsSameText(entry.szExeFile, "NTVDM.EXE") && ScanTasks(entry.th32ProcessID))
            break;
    }
    return true;
}

bool CProcessManager::ScanTasks(DWORD processId)
{
    m_vdmProcessId = processId;
    m_taskAdded = false;
    m_vdmEnumTaskWowEx(processId, TaskCallback, reinterpret_cast<LPARAM>(this));
    return m_taskAdded;
}

BOOL WINAPI CProcessManager::TaskCallback(DWORD threadId, WORD /*module16*/, WORD /*task16*/,
                                          PSZ /*moduleName*/, PSZ fileName, LPARAM user)
{
    auto* manager = reinterpret_cast<CProcessManager*>(user);
    if (manager && fileName)
    {
        // The name comes from another process: bounded before use.
        const std::string name(fileName, ::strnlen(fileName, MAX_PATH - 1));
        if (manager->IsTarget(name) && manager->Add(manager->m_vdmProcessId, threadId, name))
            manager->m_taskAdded = true;
    }
    // Every task of this NTVDM process is examined.
    return FALSE;
}

bool CProcessManager::Add(DWORD processId, DWORD taskThreadId, const std::string& path)
{
    try
    {
        m_list->push_back(std::make_unique<CProcess>(processId, taskThreadId, path));
        return true;
    }
    catch (const std::bad_alloc&)
    {
        return false;
    }
}

bool CProcessManager::AskKill(const std::string& imageName)
{
    return ShowMessage(IDS_CONFIRM_FORCE_TERMINATE, MB_YESNO | MB_ICONQUESTION, imageName.c_str()) !=
           IDNO;
}

bool CProcessManager::EndProcess(const CProcess& record, ConfirmKillProc confirmKill, DWORD waitMs)
{
    SWindowSearch search{record.GetProcessId(), record.GetTaskThreadId()};
    if (!::EnumWindows(CloseWindowsOf, reinterpret_cast<LPARAM>(&search)))
        return false;

    CHandle handle;
    if (!record.IsTask())
    {
        handle.Reset(::OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, record.GetProcessId()));
    }
    else
    {
        if (!LoadToolhelp())
            return false;
        if (!m_openThread)
        {
            ::SetLastError(ERROR_NOT_SUPPORTED);
            return false;
        }
        handle.Reset(m_openThread(SYNCHRONIZE | THREAD_TERMINATE, FALSE, record.GetTaskThreadId()));
    }
    if (!handle)
    {
        // Only an id that no longer exists means the process is gone; a
        // process we may not touch (access denied) is still running.
        if (::GetLastError() != ERROR_INVALID_PARAMETER)
            return false;
        ::SetLastError(NO_ERROR);
        return true;
    }

    // A plain wait on the handle: the sheet is disabled meanwhile, and no
    // queued input decides whether the process ended.
    DWORD outcome = NO_ERROR;
    switch (::WaitForSingleObject(handle.Get(), waitMs))
    {
    case WAIT_OBJECT_0:
        break;
    case WAIT_TIMEOUT:
        if (!confirmKill || !confirmKill(record.GetImageName()))
        {
            outcome = WAIT_TIMEOUT;
        }
        else
        {
            const BOOL killed = record.IsTask() ? ::TerminateThread(handle.Get(), kKilledExitCode)
                                                : ::TerminateProcess(handle.Get(), kKilledExitCode);
            if (!killed)
                outcome = ::GetLastError();
        }
        break;
    default:
        outcome = ::GetLastError();
        break;
    }
    handle.Reset();
    ::SetLastError(outcome);
    return outcome == NO_ERROR;
}
