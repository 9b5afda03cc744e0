// orvline: one operation per call (or the operations already queued for the
// restart), carried out at once or queued, told by messages and exit code.
#include "Console.h"
#include "FileInfo.h"
#include "ModuleVersion.h"
#include "PendingStore.h"
#include "Report.h"
#include "SystemServices.h"
#include "Text.h"
#include "resource.h"

#include <shlwapi.h>

#include <cstring>

namespace
{

enum EExitCode
{
    ExitDone = 0,
    ExitInitFailed = 1,
    ExitUsage = 2,
    ExitPendingFailed = 3,
    ExitSourceMissing = 4,
    ExitCannotAdd = 5,
    ExitDifferentDrives = 6,
    ExitSamePaths = 7,
    ExitUnsupported = 8,
    ExitDowngrade = 9,
    ExitProcessFailed = 10,
    ExitRestartFailed = 11,
};

class COrvline
{
public:
    explicit COrvline(CConsole& console) : m_console(console) {}

    int Run();

private:
    int Fail(UINT messageId, int exitCode);
    int FailWithSystemText(UINT messageId, int exitCode);
    int AddSourceOperation();
    int ResolveDestination(bool isFolder, std::string& destination);
    int CheckVersion(const std::string& destination);
    bool IsTargetFolder() const;

    CConsole& m_console;
    CFileInfoList m_list;
};

int COrvline::Fail(UINT messageId, int exitCode)
{
    m_console.PrintError(messageId);
    if (m_console.HasFlag(FlagLog))
        WriteErrorReport(messageId, 0);
    return exitCode;
}

int COrvline::FailWithSystemText(UINT messageId, int exitCode)
{
    const DWORD code = ::GetLastError();
    m_console.PrintSystemError(messageId, code);
    if (m_console.HasFlag(FlagLog))
        WriteErrorReport(messageId, code);
    return exitCode;
}

bool COrvline::IsTargetFolder() const
{
    const char* target = m_console.GetTarget().c_str();
    return ::PathFileExistsA(target) && ::PathIsDirectoryA(target);
}

int COrvline::CheckVersion(const std::string& destination)
{
    if (IsNotOlderVersion(destination, m_console.GetSource()))
        return ExitDone;
    if (!m_console.HasFlag(FlagDowngrade))
        return Fail(IDS_DOWNGRADE_REFUSED, ExitDowngrade);
    m_console.PrintInfo(IDS_DOWNGRADE_DETECTED);
    return ExitDone;
}

int COrvline::ResolveDestination(bool isFolder, std::string& destination)
{
    const std::string& source = m_console.GetSource();
    const std::string& target = m_console.GetTarget();

    if (!IsTargetFolder())
    {
        if (isFolder)
            return Fail(IDS_UNSUPPORTED_ACTION, ExitUnsupported);
        if (IsSameText(source, target))
            return Fail(IDS_SAME_PATHS, ExitSamePaths);
        if (IsSameText(::PathFindFileNameA(target.c_str()), ::PathFindFileNameA(source.c_str())))
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
        if (!::PathIsSameRootA(source.c_str(), target.c_str()))
            return Fail(IDS_DIFFERENT_DRIVES, ExitDifferentDrives);
        if (IsSameText(source, target))
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
        if (IsSameText(destination, source))
            return Fail(IDS_SAME_PATHS, ExitSamePaths);
        return CheckVersion(destination);
    }
    return ExitDone;
}

int COrvline::AddSourceOperation()
{
    const std::string& source = m_console.GetSource();
    // A source that does not fit a path buffer cannot name an existing object.
    if (!FitsPath(source) || !::PathFileExistsA(source.c_str()))
        return Fail(IDS_SOURCE_MISSING, ExitSourceMissing);

    const bool isFolder = ::PathIsDirectoryA(source.c_str()) != FALSE;
    if (m_console.GetTarget().empty())
    {
        const bool added = isFolder ? m_list.AddFolder(source) : m_list.Add(source);
        return added ? ExitDone : FailWithSystemText(IDS_CANNOT_ADD, ExitCannotAdd);
    }

    std::string destination;
    const int code = ResolveDestination(isFolder, destination);
    if (code != ExitDone)
        return code;
    if (!m_list.Add(source, destination))
        return FailWithSystemText(IDS_CANNOT_ADD, ExitCannotAdd);
    return ExitDone;
}

int COrvline::Run()
{
    m_console.PrintBanner();

    if (m_console.HasFlag(FlagPending))
    {
        m_console.PrintInfo(IDS_GATHERING_PENDING);
        if (!m_list.LoadPending())
            return FailWithSystemText(IDS_PROCESS_FAILED, ExitPendingFailed);
        RemovePending();
    }

    if (!m_console.GetSource().empty())
    {
        const int code = AddSourceOperation();
        if (code != ExitDone)
            return code;
    }

    m_console.PrintInfo(IDS_PROCESSING);
    const bool processed = m_list.Process();

    if (m_console.HasFlag(FlagLog))
    {
        m_console.PrintInfo(IDS_WRITING_REPORT);
        m_list.WriteReport(GetReportFilePath());
    }

    if (!processed)
    {
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

} // namespace

int main(int argc, char** argv)
{
    CConsole console;
    if (!InitializeProgram())
    {
        console.PrintSystemError(IDS_INIT_FAILED, ::GetLastError());
        return ExitInitFailed;
    }
    if (!console.Parse(argc, argv))
        return ExitUsage;

    COrvline program(console);
    return program.Run();
}
