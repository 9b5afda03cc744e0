// orvline: one operation per call (or the operations already queued for the
// restart), carried out at once or queued, told by messages and exit code.
#include "cli/Orvline.h"

#include "cli/Console.h"
#include "cli/QueueListing.h"
#include "engine/FileInfo.h"
#include "engine/ModuleVersion.h"
#include "engine/ObjectPath.h"
#include "engine/PendingStore.h"
#include "engine/ProgramPath.h"
#include "engine/Report.h"
#include "engine/Scheduler.h"
#include "engine/SystemServices.h"
#include "engine/Text.h"
#include "inspect/HandleRelease.h"
#include "inspect/HolderScan.h"
#include "inspect/NativePaths.h"
#include "resources/orvline/resource.h"

#include <shlwapi.h>

#include <algorithm>
#include <cstring>
#include <vector>

int COrvline::Fail(UINT messageId, int exitCode)
{
    m_console.PrintError(messageId);
    if (m_console.HasFlag(FlagLog))
        WriteErrorReport(messageId, 0);
    return exitCode;
}

int COrvline::FailWithSystemText(UINT messageId, int exitCode)
{
    return FailWithCode(messageId, ::GetLastError(), exitCode);
}

int COrvline::FailWithCode(UINT messageId, DWORD code, int exitCode)
{
    m_console.PrintSystemError(messageId, code);
    if (m_console.HasFlag(FlagLog))
        WriteErrorReport(messageId, code);
    return exitCode;
}

namespace
{

// The last component of the path as the file system has it.
std::string GetObjectName(const std::string& path)
{
    const std::string canonical = GetCanonicalPath(path);
    return FitsPath(canonical) ? ::PathFindFileNameA(canonical.c_str()) : std::string();
}

} // namespace

bool COrvline::IsTargetFolder() const
{
    const char* target = m_target.c_str();
    return ::PathFileExistsA(target) && ::PathIsDirectoryA(target);
}

// Relative paths would reach the restart queue as given and be resolved
// there against another folder: both paths become full paths first.
int COrvline::ResolvePaths()
{
    const std::string& source = m_console.GetSource();
    const std::string& target = m_console.GetTarget();
    if (!source.empty())
    {
        if (IsReservedDeviceName(source) || !FitsPath(source) || !GetFullPath(source, m_source) ||
            IsReservedDeviceName(m_source) || m_source.compare(0, 4, "\\\\.\\") == 0)
            return Fail(IDS_SOURCE_MISSING, ExitSourceMissing);
        m_source = ResolveSysnative(m_source);
    }
    if (!target.empty())
    {
        if (IsReservedDeviceName(target))
            return FailWithCode(IDS_CANNOT_ADD, ERROR_INVALID_NAME, ExitCannotAdd);
        if (!FitsPath(target) || !GetFullPath(target, m_target))
            return FailWithCode(IDS_CANNOT_ADD, ERROR_FILENAME_EXCED_RANGE, ExitCannotAdd);
        if (IsReservedDeviceName(m_target) || m_target.compare(0, 4, "\\\\.\\") == 0)
            return FailWithCode(IDS_CANNOT_ADD, ERROR_INVALID_NAME, ExitCannotAdd);
        m_target = ResolveSysnative(m_target);
    }
    return ExitDone;
}

int COrvline::CheckVersion(const std::string& destination)
{
    if (IsNotOlderVersion(destination, m_source))
        return ExitDone;
    if (!m_console.HasFlag(FlagDowngrade))
        return Fail(IDS_DOWNGRADE_REFUSED, ExitDowngrade);
    m_console.PrintInfo(IDS_DOWNGRADE_DETECTED);
    return ExitDone;
}

int COrvline::ResolveDestination(std::string& destination)
{
    const std::string& source = m_source;
    const std::string& target = m_target;
    const bool isFolder = m_isFolder;

    if (!IsTargetFolder())
    {
        if (isFolder)
            return Fail(IDS_UNSUPPORTED_ACTION, ExitUnsupported);
        if (IsSameObject(source, target))
            return Fail(IDS_SAME_PATHS, ExitSamePaths);
        // The names the files have, not as spelled: a short name of the
        // same file is the same name.
        if (IsSameText(GetObjectName(target), GetObjectName(source)))
        {
            const int code = CheckVersion(target);
            if (code != ExitDone)
                return code;
        }
        destination = target;
        return ExitDone;
    }

    // Into an existing folder: the source keeps its name there.
    char name[MAX_PATH] = {};
    CopyToBuffer(source, name);
    if (isFolder)
    {
        if (!IsSameVolume(source, target))
            return Fail(IDS_DIFFERENT_DRIVES, ExitDifferentDrives);
        if (IsSameObject(source, target))
            return Fail(IDS_SAME_PATHS, ExitSamePaths);
        ::PathStripPathA(name);
    }
    else
    {
        const std::string fileName = ::PathFindFileNameA(name);
        CopyToBuffer(fileName, name);
    }

    char joined[MAX_PATH] = {};
    if (!CopyToBuffer(target, joined) || std::strlen(joined) + 1 + std::strlen(name) >= MAX_PATH ||
        !::PathAppendA(joined, name))
    {
        ::SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return FailWithSystemText(IDS_CANNOT_ADD, ExitCannotAdd);
    }
    destination = joined;

    if (!isFolder)
    {
        if (IsSameObject(destination, source))
            return Fail(IDS_SAME_PATHS, ExitSamePaths);
        return CheckVersion(destination);
    }
    return ExitDone;
}

// Everything that can refuse the source operation, before the queue is
// touched.
int COrvline::CheckSourceOperation()
{
    if (!::PathFileExistsA(m_source.c_str()))
        return Fail(IDS_SOURCE_MISSING, ExitSourceMissing);
    // Emptying or moving these would take the system down with them,
    // whatever the spelling.
    if (HoldsSystemFolder(m_source))
        return FailWithCode(IDS_CANNOT_ADD, ERROR_ACCESS_DENIED, ExitCannotAdd);
    // Nor the folder the command stands in, or one above it: ".", ".." or
    // a bare drive would empty it at once and queue it for the restart.
    if (HoldsCurrentFolder(m_source))
        return FailWithCode(IDS_CURRENT_FOLDER, ERROR_ACCESS_DENIED, ExitCannotAdd);

    m_isFolder = ::PathIsDirectoryA(m_source.c_str()) != FALSE;
    if (m_target.empty())
        return ExitDone;
    return ResolveDestination(m_destination);
}

int COrvline::AddSourceOperation()
{
    bool added;
    if (m_target.empty())
        added = m_isFolder ? m_list.AddFolder(m_source) : m_list.Add(m_source);
    else
        added = m_list.Add(m_source, m_destination);
    return added ? ExitDone : FailWithSystemText(IDS_CANNOT_ADD, ExitCannotAdd);
}

// One error line per failed operation, in the form of the other error
// lines, and one for a write of the queue that failed: the reason of exit 10
// is seen without the report.
void COrvline::PrintFailures() const
{
    for (std::size_t i = 0; i < m_list.GetCount(); ++i)
    {
        const CFileInfo* item = m_list.GetAt(i);
        if (item->GetStatus() == StatusFailed)
            m_console.PrintFailure(item->GetReportPath(), item->GetErrorCode());
    }
    const SQueueFailure& queue = m_list.GetQueueFailure();
    if (queue.code != ERROR_SUCCESS)
        m_console.PrintFailure(queue.what, queue.code);
}

int COrvline::ListQueue()
{
    std::vector<SQueuedOperation> operations;
    if (!ReadQueuedOperations(operations))
        return FailWithSystemText(IDS_PROCESS_FAILED, ExitPendingFailed);
    if (operations.empty())
        m_console.PrintInfo(IDS_QUEUE_EMPTY);
    for (const SQueuedOperation& operation : operations)
        m_console.Print(FormatQueuedLine(operation) + "\n", {operation.source, operation.target});
    return ExitDone;
}

int COrvline::ListHolders()
{
    if (!::PathFileExistsA(m_source.c_str()))
        return Fail(IDS_SOURCE_MISSING, ExitSourceMissing);
    CHolderList holders;
    CHolderScan scan;
    if (!scan.Scan(m_source, holders))
        return FailWithSystemText(IDS_PROCESS_FAILED, ExitProcessFailed);
    if (holders.empty())
    {
        m_console.PrintInfo(IDS_NO_HOLDER);
        return ExitDone;
    }
    for (const SHolder& holder : holders)
    {
        const std::string executable = NormalizeImagePath(holder.imagePath);
        m_console.Print(FormatHolderLine(holder.processId, executable, GetHeldAsText(holder.heldAs)) + "\n",
                        {executable});
    }
    return ExitHeld;
}

// What other processes hold open on the source, and on the file that the
// target replaces, is closed before the operation runs: one line per
// process, with the handles closed. Loaded modules stay; a process that may
// not be touched, or whose handles cannot be closed, is told on the error
// stream, and the operation runs as it would have (queued if still in use).
void COrvline::ReleaseHolders()
{
    struct SReleased
    {
        SHolder holder;
        std::size_t closed;
        DWORD error;
    };
    std::vector<SReleased> processes;
    std::vector<std::string> paths = {m_source};
    if (!m_destination.empty() && ::PathFileExistsA(m_destination.c_str()))
        paths.push_back(m_destination);
    for (const std::string& path : paths)
    {
        CHolderList holders;
        CHolderScan scan;
        scan.ScanOpen(path, holders);
        for (const SHolder& holder : holders)
        {
            auto known = std::find_if(processes.begin(), processes.end(), [&](const SReleased& entry) {
                return entry.holder.processId == holder.processId;
            });
            if (known == processes.end())
                known = processes.insert(processes.end(), {holder, 0, ERROR_SUCCESS});
            if (GetReleaseRule(holder.processId, holder.imagePath) != ReleaseAllowed)
                continue;
            std::size_t closed = 0;
            if (!ReleaseHandles(holder, path, closed) && known->error == ERROR_SUCCESS)
                known->error = ::GetLastError();
            known->closed += closed;
        }
    }
    for (const SReleased& entry : processes)
    {
        const DWORD processId = entry.holder.processId;
        const std::string executable = NormalizeImagePath(entry.holder.imagePath);
        if (GetReleaseRule(processId, entry.holder.imagePath) != ReleaseAllowed)
        {
            m_console.PrintErrorText(FormatHolderLine(processId, executable, LoadResourceText(IDS_RELEASE_REFUSED)),
                                     {executable});
            continue;
        }
        if (entry.closed > 0 || entry.error == ERROR_SUCCESS)
            m_console.Print(FormatReleaseLine(processId, executable, entry.closed) + "\n", {executable});
        if (entry.error != ERROR_SUCCESS)
            m_console.PrintFailure(FormatHolderLine(processId, executable, LoadResourceText(IDS_RELEASE_FAILED)),
                                   entry.error);
    }
}

// The options that only tell: nothing is run, taken over, queued or
// written, whatever else the command line asks.
int COrvline::Report()
{
    if (m_console.HasFlag(FlagQueue))
    {
        const int code = ListQueue();
        if (code != ExitDone || !m_console.HasFlag(FlagHolders))
            return code;
    }
    if (m_console.GetSource().empty())
        return ExitDone;
    const int code = ResolvePaths();
    return code != ExitDone ? code : ListHolders();
}

// A folder that the restart is to remove cannot go while the report lies
// in it: the report is queued for deletion after it, and the folder once
// more after the report.
void COrvline::FreeReportFolder(const std::string& report) const
{
    std::vector<const CFileInfo*> folders;
    for (std::size_t i = 0; i < m_list.GetCount(); ++i)
    {
        const CFileInfo* item = m_list.GetAt(i);
        if (item->GetStatus() == StatusDelayed && item->GetAction() == ActionDelete &&
            item->IsDirectory() && LiesWithin(report, item->GetSource()))
            folders.push_back(item);
    }
    if (folders.empty() || !MoveFileOnReboot(report.c_str(), nullptr))
        return;
    for (const CFileInfo* folder : folders)
        MoveFileOnReboot(folder->GetSource().c_str(), nullptr);
}

int COrvline::Run()
{
    m_console.PrintBanner();
    if (m_console.HasFlag(FlagQueue) || m_console.HasFlag(FlagHolders))
        return Report();

    int code = ResolvePaths();
    if (code == ExitDone && !m_source.empty())
        code = CheckSourceOperation();
    if (code != ExitDone)
        return code;

    // Any exit before the run leaves the queue as it was: it is cleared only
    // once every operation is in the list, and only of what was taken over.
    if (m_console.HasFlag(FlagPending))
    {
        m_console.PrintInfo(IDS_GATHERING_PENDING);
        if (!m_list.LoadPending())
            return FailWithSystemText(IDS_PROCESS_FAILED, ExitPendingFailed);
    }
    if (!m_source.empty())
    {
        code = AddSourceOperation();
        if (code != ExitDone)
            return code;
    }
    // Nothing runs unless the queue can be written and its backup could be
    // made; the run then clears from the queue what it carries out.
    if (m_console.HasFlag(FlagPending) && !m_list.TakeOverPending())
    {
        const SQueueFailure& queue = m_list.GetQueueFailure();
        m_console.PrintFailure(queue.what, queue.code);
        return FailWithCode(IDS_PROCESS_FAILED, queue.code, ExitPendingFailed);
    }

    if (m_console.HasFlag(FlagRelease) && !m_source.empty())
        ReleaseHolders();

    m_console.PrintInfo(IDS_PROCESSING);
    const bool processed = m_list.Process();

    if (m_console.HasFlag(FlagLog))
    {
        m_console.PrintInfo(IDS_WRITING_REPORT);
        const std::string report = GetReportFilePath();
        if (m_list.WriteReport(report))
            FreeReportFolder(report);
    }

    if (!processed)
    {
        PrintFailures();
        m_console.PrintError(IDS_PROCESS_FAILED);
        return ExitProcessFailed;
    }

    if (m_list.IsRestartNeeded() && m_console.HasFlag(FlagReboot))
    {
        m_console.PrintInfo(IDS_RESTARTING);
        if (!RestartSystem())
            return Fail(IDS_RESTART_FAILED, ExitRestartFailed);
    }

    m_console.PrintInfo(IDS_DONE);
    return ExitDone;
}

// Nothing more than the program's own path is needed to run.
bool InitializeProgram()
{
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    return !GetProgramPath().empty();
}
