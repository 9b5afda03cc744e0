#include "engine/NativeProgram.h"

#include "engine/Handles.h"
#include "engine/NativeProgramId.h"
#include "engine/ProgramPath.h"
#include "engine/SystemServices.h"
#include "engine/Text.h"

#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace
{

const char kFolderPrefix[] = "Orvane-";

// The wide calls, so that a temporary folder whose name the code page cannot
// hold still serves. Every system with WoW64 has them; Windows 98 lacks most,
// which is why they are looked up rather than imported.
struct SWideCalls
{
    DWORD(WINAPI* getTempPath)(DWORD, LPWSTR) = nullptr;
    DWORD(WINAPI* getModuleFileName)(HMODULE, LPWSTR, DWORD) = nullptr;
    BOOL(WINAPI* createDirectory)(LPCWSTR, LPSECURITY_ATTRIBUTES) = nullptr;
    BOOL(WINAPI* removeDirectory)(LPCWSTR) = nullptr;
    HANDLE(WINAPI* createFile)(LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE) = nullptr;
    BOOL(WINAPI* deleteFile)(LPCWSTR) = nullptr;
    HANDLE(WINAPI* findFirstFile)(LPCWSTR, LPWIN32_FIND_DATAW) = nullptr;
    BOOL(WINAPI* findNextFile)(HANDLE, LPWIN32_FIND_DATAW) = nullptr;
    LPWSTR(WINAPI* getCommandLine)() = nullptr;
    BOOL(WINAPI* createProcess)(LPCWSTR, LPWSTR, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES, BOOL, DWORD,
                                LPVOID, LPCWSTR, LPSTARTUPINFOW, LPPROCESS_INFORMATION) = nullptr;
    // Optional: without a job the 64-bit program may outlive a killed host.
    HANDLE(WINAPI* createJob)(LPSECURITY_ATTRIBUTES, LPCSTR) = nullptr;
    BOOL(WINAPI* setJobInformation)(HANDLE, JOBOBJECTINFOCLASS, LPVOID, DWORD) = nullptr;
    BOOL(WINAPI* assignToJob)(HANDLE, HANDLE) = nullptr;

    bool Load()
    {
        const HMODULE kernel = ::GetModuleHandleA("kernel32.dll");
        if (!kernel || !ResolveExport(kernel, "GetTempPathW", getTempPath) ||
            !ResolveExport(kernel, "GetModuleFileNameW", getModuleFileName) ||
            !ResolveExport(kernel, "CreateDirectoryW", createDirectory) ||
            !ResolveExport(kernel, "RemoveDirectoryW", removeDirectory) ||
            !ResolveExport(kernel, "CreateFileW", createFile) || !ResolveExport(kernel, "DeleteFileW", deleteFile) ||
            !ResolveExport(kernel, "FindFirstFileW", findFirstFile) ||
            !ResolveExport(kernel, "FindNextFileW", findNextFile) ||
            !ResolveExport(kernel, "GetCommandLineW", getCommandLine) ||
            !ResolveExport(kernel, "CreateProcessW", createProcess))
        {
            ::SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
            return false;
        }
        if (!ResolveExport(kernel, "CreateJobObjectA", createJob) ||
            !ResolveExport(kernel, "SetInformationJobObject", setJobInformation) ||
            !ResolveExport(kernel, "AssignProcessToJobObject", assignToJob))
            createJob = nullptr;
        return true;
    }
};

bool IsProcessAlive(DWORD processId)
{
    CHandle process(::OpenProcess(SYNCHRONIZE, FALSE, processId));
    if (!process)
        return ::GetLastError() != ERROR_INVALID_PARAMETER; // refused: someone's, alive
    return ::WaitForSingleObject(process.Get(), 0) == WAIT_TIMEOUT;
}

// The files of a run's folder, then the folder. Sub-folders are not ours and
// keep it; a link is removed as a link.
void RemoveRunFolder(const SWideCalls& calls, const std::wstring& folder)
{
    WIN32_FIND_DATAW data = {};
    CFindHandle find(calls.findFirstFile((folder + L"\\*").c_str(), &data));
    if (find)
    {
        do
        {
            if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                calls.deleteFile((folder + L"\\" + data.cFileName).c_str());
        } while (calls.findNextFile(find.Get(), &data));
    }
    find.Reset();
    calls.removeDirectory(folder.c_str());
}

// Folders of earlier runs whose program no longer runs: what a run that was
// killed could not remove.
void RemoveStaleRunFolders(const SWideCalls& calls, const std::wstring& temp)
{
    WIN32_FIND_DATAW data = {};
    CFindHandle find(calls.findFirstFile((temp + AnsiToWide(kFolderPrefix) + L"*").c_str(), &data));
    if (!find)
        return;
    do
    {
        DWORD processId = 0;
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
            !(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
            ParseRunFolderName(WideToAnsi(data.cFileName), processId) && !IsProcessAlive(processId))
            RemoveRunFolder(calls, temp + data.cFileName);
    } while (calls.findNextFile(find.Get(), &data));
}

// An inheritable copy of a standard handle for the 64-bit program; the
// handle itself where it cannot be copied (the console's own handles of
// older systems, which a program of the same console shares anyway).
class CInheritedHandle
{
public:
    explicit CInheritedHandle(DWORD which) : m_value(::GetStdHandle(which))
    {
        if (m_value == nullptr || m_value == INVALID_HANDLE_VALUE)
            return;
        HANDLE copy = nullptr;
        if (::DuplicateHandle(::GetCurrentProcess(), m_value, ::GetCurrentProcess(), &copy, 0, TRUE,
                              DUPLICATE_SAME_ACCESS))
        {
            m_copy.Reset(copy);
            m_value = copy;
        }
    }
    HANDLE Get() const { return m_value; }

private:
    HANDLE m_value;
    CHandle m_copy;
};

// One run of the 64-bit program: its folder and file, the process and the
// job that ends it with this one.
class CNativeRun
{
public:
    explicit CNativeRun(const SWideCalls& calls) : m_calls(calls) {}
    CNativeRun(const CNativeRun&) = delete;
    CNativeRun& operator=(const CNativeRun&) = delete;

    bool Write(const std::wstring& temp, const BYTE* bytes, DWORD size);
    bool Start();
    DWORD Wait();
    void Remove();

private:
    bool CreateFolder(const std::wstring& temp);
    bool IsWrittenAsCarried(const BYTE* bytes, DWORD size) const;

    const SWideCalls& m_calls;
    std::wstring m_folder;
    std::wstring m_program;
    // Open from the moment it is written until the program is gone: nobody
    // may change or replace the file meanwhile.
    CFileHandle m_pinned;
    CHandle m_process;
    CHandle m_job;
};

bool CNativeRun::CreateFolder(const std::wstring& temp)
{
    for (unsigned serial = 0; serial < 100; ++serial)
    {
        const std::wstring folder = temp + AnsiToWide(FormatRunFolderName(::GetCurrentProcessId(), serial));
        if (m_calls.createDirectory(folder.c_str(), nullptr))
        {
            m_folder = folder;
            return true;
        }
        if (::GetLastError() != ERROR_ALREADY_EXISTS)
            return false;
    }
    return false;
}

bool CNativeRun::Write(const std::wstring& temp, const BYTE* bytes, DWORD size)
{
    // The 64-bit program takes the name of this one, as it shows in lists of
    // processes.
    wchar_t own[MAX_PATH] = {};
    const DWORD length = m_calls.getModuleFileName(nullptr, own, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
    {
        if (length >= MAX_PATH)
            ::SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    const std::wstring ownPath(own, length);
    const std::wstring name = ownPath.substr(ownPath.find_last_of(L"\\/") + 1);

    if (!CreateFolder(temp))
        return false;
    const std::wstring program = m_folder + L"\\" + name;
    CFileHandle file(m_calls.createFile(program.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    m_program = program;
    DWORD written = 0;
    if (!::WriteFile(file.Get(), bytes, size, &written, nullptr))
        return false;
    if (written != size)
    {
        ::SetLastError(ERROR_DISK_FULL);
        return false;
    }
    file.Reset();

    // Read shares only: the system may load it, nobody may change it.
    m_pinned.Reset(
        m_calls.createFile(program.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!m_pinned)
        return false;
    if (!IsWrittenAsCarried(bytes, size))
    {
        ::SetLastError(ERROR_FILE_CORRUPT);
        return false;
    }
    return true;
}

bool CNativeRun::IsWrittenAsCarried(const BYTE* bytes, DWORD size) const
{
    static constexpr DWORD kChunk = 64 * 1024;
    const std::unique_ptr<BYTE[]> buffer(new (std::nothrow) BYTE[kChunk]);
    if (!buffer)
        return false;
    DWORD offset = 0;
    for (;;)
    {
        DWORD read = 0;
        if (!::ReadFile(m_pinned.Get(), buffer.get(), kChunk, &read, nullptr))
            return false;
        if (read == 0)
            return offset == size;
        if (read > size - offset || std::memcmp(buffer.get(), bytes + offset, read) != 0)
            return false;
        offset += read;
    }
}

bool CNativeRun::Start()
{
    // The 64-bit program names itself by this one's path and knows this
    // process for its own.
    const std::string startedFor = FormatText("%lu|%s", ::GetCurrentProcessId(), GetProgramPath().c_str());
    if (!::SetEnvironmentVariableA(kStartedForVariable, startedFor.c_str()))
        return false;

    STARTUPINFOA own = {};
    own.cb = sizeof(own);
    ::GetStartupInfoA(&own);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    if (own.dwFlags & STARTF_USESHOWWINDOW)
    {
        startup.dwFlags |= STARTF_USESHOWWINDOW;
        startup.wShowWindow = own.wShowWindow;
    }
    const CInheritedHandle input(STD_INPUT_HANDLE);
    const CInheritedHandle output(STD_OUTPUT_HANDLE);
    const CInheritedHandle errors(STD_ERROR_HANDLE);
    startup.dwFlags |= STARTF_USESTDHANDLES;
    startup.hStdInput = input.Get();
    startup.hStdOutput = output.Get();
    startup.hStdError = errors.Get();

    const wchar_t* commandLine = m_calls.getCommandLine();
    std::vector<wchar_t> line(commandLine, commandLine + std::wcslen(commandLine) + 1);

    // Suspended until it is in the job: it never runs outside it.
    PROCESS_INFORMATION process = {};
    const bool created = m_calls.createProcess(m_program.c_str(), line.data(), nullptr, nullptr, TRUE,
                                               CREATE_SUSPENDED, nullptr, nullptr, &startup, &process) != FALSE;
    const DWORD error = ::GetLastError();
    ::SetEnvironmentVariableA(kStartedForVariable, nullptr);
    if (!created)
    {
        ::SetLastError(error);
        return false;
    }
    m_process.Reset(process.hProcess);
    CHandle thread(process.hThread);

    if (m_calls.createJob)
    {
        // Processes that the 64-bit program starts (the report opened in an
        // editor) stay out of the job and live on.
        CHandle job(m_calls.createJob(nullptr, nullptr));
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
        limits.BasicLimitInformation.LimitFlags =
            JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_SILENT_BREAKAWAY_OK;
        // A job of this process's own may refuse nesting (before Windows 8):
        // the run goes on without.
        if (job && m_calls.setJobInformation(job.Get(), JobObjectExtendedLimitInformation, &limits, sizeof(limits)) &&
            m_calls.assignToJob(job.Get(), m_process.Get()))
            m_job = std::move(job);
    }
    if (::ResumeThread(thread.Get()) == static_cast<DWORD>(-1))
    {
        ::TerminateProcess(m_process.Get(), ERROR_PROCESS_ABORTED);
        return false;
    }
    return true;
}

DWORD CNativeRun::Wait()
{
    DWORD exitCode = ERROR_PROCESS_ABORTED;
    ::WaitForSingleObject(m_process.Get(), INFINITE);
    ::GetExitCodeProcess(m_process.Get(), &exitCode);
    return exitCode;
}

void CNativeRun::Remove()
{
    const DWORD error = ::GetLastError();
    m_pinned.Reset();
    if (!m_program.empty())
    {
        // An image just unmapped may stay in use for a moment.
        for (int attempt = 0; attempt < 100 && !m_calls.deleteFile(m_program.c_str()); ++attempt)
        {
            const DWORD reason = ::GetLastError();
            if (reason == ERROR_FILE_NOT_FOUND || reason == ERROR_PATH_NOT_FOUND)
                break;
            ::Sleep(20);
        }
    }
    if (!m_folder.empty())
        m_calls.removeDirectory(m_folder.c_str());
    ::SetLastError(error);
}

// Set once the run is over and its folder removed. Never closed: a console
// handler may still wait on it while the process ends.
HANDLE s_runOver = nullptr;

BOOL WINAPI OnConsoleControl(DWORD event)
{
    switch (event)
    {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
        // The 64-bit program got it too and answers it; its exit code
        // becomes this one's.
        return TRUE;
    default:
        // The console closes, the user logs off or the system shuts down:
        // the 64-bit program got the same event and ends, and this process
        // ends when the handler returns (within 5 s in any case): time for
        // the folder to go. A folder left behind goes with the next run.
        ::WaitForSingleObject(s_runOver, 4500);
        return FALSE;
    }
}

bool FindCarriedProgram(const BYTE*& bytes, DWORD& size)
{
    const HRSRC info = ::FindResourceA(nullptr, MAKEINTRESOURCEA(IDR_NATIVE_PROGRAM), RT_RCDATA);
    if (!info)
        return false;
    const HGLOBAL data = ::LoadResource(nullptr, info);
    bytes = data ? static_cast<const BYTE*>(::LockResource(data)) : nullptr;
    size = ::SizeofResource(nullptr, info);
    if (!bytes || size == 0)
    {
        ::SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return false;
    }
    return true;
}

} // namespace

bool NeedsNativeProgram()
{
    return IsRunningUnderWow64();
}

bool RunNativeProgram(DWORD& exitCode)
{
    const BYTE* bytes = nullptr;
    DWORD size = 0;
    SWideCalls calls;
    if (!FindCarriedProgram(bytes, size) || !calls.Load())
        return false;

    wchar_t temp[MAX_PATH] = {};
    const DWORD length = calls.getTempPath(MAX_PATH, temp);
    if (length == 0 || length >= MAX_PATH)
    {
        if (length >= MAX_PATH)
            ::SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    const std::wstring tempFolder(temp, length);
    RemoveStaleRunFolders(calls, tempFolder);

    s_runOver = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!s_runOver)
        return false;
    // Installed before the 64-bit program starts: an event that came first
    // would end this process alone. A process without a console gets none.
    ::SetConsoleCtrlHandler(OnConsoleControl, TRUE);
    CNativeRun run(calls);
    const bool started = run.Write(tempFolder, bytes, size) && run.Start();
    if (started)
        exitCode = run.Wait();
    const DWORD error = ::GetLastError();
    run.Remove();
    ::SetEvent(s_runOver);
    ::SetLastError(error);
    return started;
}

std::string FormatRunFolderName(DWORD processId, unsigned serial)
{
    return FormatText("%s%08lX-%u", kFolderPrefix, static_cast<unsigned long>(processId), serial);
}

bool ParseRunFolderName(const std::string& name, DWORD& processId)
{
    const std::size_t prefix = sizeof(kFolderPrefix) - 1;
    if (name.size() < prefix + 10 || !IsSameText(name.substr(0, prefix), kFolderPrefix) ||
        name[prefix + 8] != '-')
        return false;
    DWORD id = 0;
    for (std::size_t i = prefix; i < prefix + 8; ++i)
    {
        const char c = name[i];
        const int digit = c >= '0' && c <= '9'   ? c - '0'
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                                 : -1;
        if (digit < 0)
            return false;
        id = id * 16 + static_cast<DWORD>(digit);
    }
    for (std::size_t i = prefix + 9; i < name.size(); ++i)
    {
        if (name[i] < '0' || name[i] > '9')
            return false;
    }
    processId = id;
    return true;
}
