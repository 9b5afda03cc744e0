#include "inspect/ProcessManager.h"

#include "resources/orvgui/resource.h"
#include "window/WizardMessages.h"

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

void CProcessManager::AddRecords(const CHolderList& holders, CProcessList& list)
{
    for (const SHolder& holder : holders)
    {
        // A record that cannot be allocated is left out; the others stay.
        try
        {
            auto record = std::make_unique<CProcess>(holder.processId, holder.taskThreadId, holder.imagePath,
                                                     holder.heldAs);
            record->SetOpenHandles(holder.openHandles);
            list.push_back(std::move(record));
        }
        catch (const std::bad_alloc&)
        {
        }
    }
}

bool CProcessManager::EnumerateProcesses(const std::string& path, CProcessList& list)
{
    CHolderList holders;
    if (!m_scan.ScanModules(path, holders))
        return false;
    AddRecords(holders, list);
    return true;
}

bool CProcessManager::EnumerateHolders(const std::string& path, CProcessList& list)
{
    CHolderList holders;
    if (!m_scan.Scan(path, holders))
        return false;
    AddRecords(holders, list);
    return true;
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
        if (!m_scan.LoadToolhelp())
            return false;
        const CHolderScan::OpenThreadProc openThread = m_scan.GetOpenThread();
        if (!openThread)
        {
            ::SetLastError(ERROR_NOT_SUPPORTED);
            return false;
        }
        handle.Reset(openThread(SYNCHRONIZE | THREAD_TERMINATE, FALSE, record.GetTaskThreadId()));
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
