// orvline: one operation per call, carried out at once or queued for the
// restart, told by messages and the exit code.
#pragma once

#include "engine/FileInfo.h"

#include <windows.h>

#include <string>

class CConsole;

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
    ExitHeld = 12,
};

class COrvline
{
public:
    explicit COrvline(CConsole& console) : m_console(console) {}

    int Run();

private:
    int Fail(UINT messageId, int exitCode);
    int FailWithSystemText(UINT messageId, int exitCode);
    int FailWithCode(UINT messageId, DWORD code, int exitCode);
    int ResolvePaths();
    int CheckSourceOperation();
    int AddSourceOperation();
    int ResolveDestination(std::string& destination);
    int CheckVersion(const std::string& destination);
    int Report();
    int ListQueue();
    int ListHolders();
    bool IsTargetFolder() const;
    void PrintFailures() const;
    void ReleaseHolders();
    void FreeReportFolder(const std::string& report) const;

    CConsole& m_console;
    CFileInfoList m_list;
    // Full paths of the arguments; the destination follows from the target.
    std::string m_source;
    std::string m_target;
    std::string m_destination;
    bool m_isFolder = false;
};

// Nothing more than the program's own path is needed to run.
bool InitializeProgram();
