#include "inspect/HandleRelease.h"

#include "engine/Handles.h"
#include "engine/ProgramPath.h"
#include "engine/Text.h"
#include "inspect/HandleScan.h"
#include "inspect/NativePaths.h"
#include "inspect/OpenFileNamer.h"
#include "inspect/QueryWorker.h"

#include <shlwapi.h>

#include <memory>
#include <new>
#include <vector>

namespace
{

// Where each handle stands. The worker moves an item from Waiting to Left
// or, once it decided to close it, to Closing and then Done; the caller
// moves an item it stops waiting for from Waiting to GivenUp, after which
// the worker never closes it.
enum : LONG
{
    ItemWaiting,
    ItemLeft,
    ItemClosing,
    ItemDone,
    ItemGivenUp,
};

// Checks and closes the handles of one process on a worker thread: naming a
// handle may not return (RunQueries then leaves the worker behind).
class CReleaseJob : public CQueryJob
{
public:
    CReleaseJob(HANDLE process, const std::vector<ULONG_PTR>& handles, const COpenFileNamer& namer)
        : m_process(process), m_handles(handles), m_namer(namer), m_states(handles.size(), ItemWaiting),
          m_errors(handles.size(), ERROR_SUCCESS)
    {
    }

    std::size_t GetCount() const override { return m_handles.size(); }

    bool Query(std::size_t index, std::string& /*answer*/) override
    {
        const HANDLE value = reinterpret_cast<HANDLE>(m_handles[index]);
        // The check and the close follow each other as closely as they can:
        // only a close and a new open by the holder in between would make
        // the value name another object.
        CHandle copy;
        std::string path;
        if (!::DuplicateHandle(m_process.Get(), value, ::GetCurrentProcess(), copy.Receive(), 0, FALSE,
                               DUPLICATE_SAME_ACCESS) ||
            !m_namer.Name(copy.Get(), path) || !m_namer.IsOnTarget(path))
        {
            ::InterlockedCompareExchange(&m_states[index], ItemLeft, ItemWaiting);
            return false;
        }
        if (::InterlockedCompareExchange(&m_states[index], ItemClosing, ItemWaiting) != ItemWaiting)
            return false;
        HANDLE closed = nullptr;
        const BOOL done = ::DuplicateHandle(m_process.Get(), value, ::GetCurrentProcess(), &closed, 0, FALSE,
                                            DUPLICATE_CLOSE_SOURCE | DUPLICATE_SAME_ACCESS);
        m_errors[index] = done ? ERROR_SUCCESS : ::GetLastError();
        if (closed)
            ::CloseHandle(closed);
        ::InterlockedExchange(&m_states[index], ItemDone);
        return true;
    }

    // The item's outcome once the workers are done with it or given up:
    // true when it was closed; false with `error` set when closing it failed
    // or it was never checked, and left at 0 when it no longer named the
    // object.
    bool Finish(std::size_t index, DWORD notChecked, DWORD& error)
    {
        error = ERROR_SUCCESS;
        if (::InterlockedCompareExchange(&m_states[index], ItemGivenUp, ItemWaiting) == ItemWaiting)
        {
            error = notChecked;
            return false;
        }
        // A worker that began to close it ends in a moment.
        while (::InterlockedCompareExchange(&m_states[index], ItemClosing, ItemClosing) == ItemClosing)
            ::Sleep(1);
        if (::InterlockedCompareExchange(&m_states[index], ItemDone, ItemDone) != ItemDone)
            return false;
        error = m_errors[index];
        return error == ERROR_SUCCESS;
    }

private:
    CHandle m_process;
    std::vector<ULONG_PTR> m_handles;
    COpenFileNamer m_namer;
    // Read and written only through the interlocked calls.
    std::vector<LONG> m_states;
    std::vector<DWORD> m_errors;
};

} // namespace

bool IsOwnProgramProcess(DWORD processId, const std::string& imagePath)
{
    if (processId == ::GetCurrentProcessId() || (processId != 0 && processId == GetStartedForProcessId()))
        return true;
    // Another copy of this program: it may be writing the restart queue.
    const std::string own = GetProgramPath();
    return !own.empty() && !imagePath.empty() && IsSameText(own, NormalizeImagePath(imagePath));
}

bool IsCriticalProcess(DWORD processId, const std::string& imagePath)
{
    // The idle process, and the system process of Windows 2000 (8) and of
    // later versions (4).
    if (processId == 0 || processId == 4 || processId == 8)
        return true;
    const char* const name = ::PathFindFileNameA(imagePath.c_str());
    if (!name || !*name)
        return true;
    static const char* const kCritical[] = {"csrss.exe",    "smss.exe",  "wininit.exe",
                                            "services.exe", "lsass.exe", "winlogon.exe"};
    for (const char* critical : kCritical)
    {
        if (IsSameText(name, critical))
            return true;
    }
    return false;
}

EReleaseRule GetReleaseRule(DWORD processId, const std::string& imagePath)
{
    if (IsCriticalProcess(processId, imagePath))
        return ReleaseRefusedCritical;
    return IsOwnProgramProcess(processId, imagePath) ? ReleaseRefusedOwn : ReleaseAllowed;
}

bool ReleaseHandles(const SHolder& holder, const std::string& path, std::size_t& closed)
{
    closed = 0;
    if (GetReleaseRule(holder.processId, holder.imagePath) != ReleaseAllowed)
    {
        ::SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    if (holder.openHandles.empty())
        return true;
    if (!HasHandleTable())
    {
        ::SetLastError(ERROR_NOT_SUPPORTED);
        return false;
    }
    COpenFileNamer namer;
    if (!namer.Open(path))
        return false;
    CHandle process(::OpenProcess(PROCESS_DUP_HANDLE, FALSE, holder.processId));
    if (!process)
        return false;

    std::shared_ptr<CReleaseJob> job;
    try
    {
        job = std::make_shared<CReleaseJob>(process.Release(), holder.openHandles, namer);
    }
    catch (const std::bad_alloc&)
    {
        ::SetLastError(ERROR_OUTOFMEMORY);
        return false;
    }
    std::vector<SQueryAnswer> answers;
    // A handle whose name did not come in time is left alone.
    const DWORD notChecked = RunQueries(job, kNameQueryLimitMs, answers) ? WAIT_TIMEOUT : ::GetLastError();
    DWORD firstError = ERROR_SUCCESS;
    for (std::size_t i = 0; i < job->GetCount(); ++i)
    {
        DWORD error = ERROR_SUCCESS;
        if (job->Finish(i, notChecked, error))
            ++closed;
        else if (error != ERROR_SUCCESS && firstError == ERROR_SUCCESS)
            firstError = error;
    }
    ::SetLastError(firstError);
    return firstError == ERROR_SUCCESS;
}
