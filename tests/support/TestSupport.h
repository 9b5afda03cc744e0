// Test bench shared by the test programs: starting programs with redirected
// streams, scratch folders, processes that hold files, the restart queue and
// the restart itself.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

struct SRunResult
{
    DWORD exitCode = 0xFFFFFFFF;
    std::string out;
    std::string err;
};

// Path of a program of the build (orvline.exe, orvholder.exe, ...) or of a
// file beside it (orvline.txt).
std::string GetBinPath(const char* exe);
// The folder of the programs under test: this build's, or the one that the
// environment variable ORV_PROGRAM_DIR names.
std::string GetProgramDir();
// A 32-bit test helper (orvholder.exe, orvfixture.dll) beside the 64-bit
// ones; empty where this build knows none.
std::string GetHelper32Path(const char* name);

// CreateProcessA, tried again while Wine answers ERROR_INTERNAL_ERROR: its
// loader can fail to start on a loaded machine before the program runs at
// all. Any other failure is the caller's.
BOOL StartProcess(LPCSTR application, LPSTR commandLine, BOOL inherit, DWORD flags, LPVOID environment,
                  LPCSTR folder, STARTUPINFOA* startup, PROCESS_INFORMATION* process);

// Starts a command line and waits for it; both streams are captured apart.
// folder: the program's current folder (null: this one's); environment: its
// environment block (null: this one's).
SRunResult RunProgram(const std::string& commandLine, DWORD timeoutMs = 120000,
                      const char* folder = nullptr, const char* environment = nullptr);

// orvline.exe with the given arguments (already quoted as needed).
SRunResult RunOrvline(const std::string& arguments);
// The same, started in the given current folder.
SRunResult RunOrvlineIn(const std::string& folder, const std::string& arguments);

// Quotes one argument for a command line.
std::string Quote(const std::string& argument);

// A folder of its own under C:\orvtest, removed with its content.
class CScratchDir
{
public:
    CScratchDir();
    ~CScratchDir();
    CScratchDir(const CScratchDir&) = delete;
    CScratchDir& operator=(const CScratchDir&) = delete;

    const std::string& Path() const { return m_path; }
    std::string operator/(const std::string& name) const { return m_path + "\\" + name; }
    // A file of the folder holding the bytes, or a sub-folder; its path.
    std::string File(const std::string& name, const std::string& bytes) const;
    std::string Folder(const std::string& name) const;

private:
    std::string m_path;
};

// The file and registry helpers answer with the path or the value and the
// error code, so that a check that fails on one says why.
void RemoveTree(const std::string& path);
::testing::AssertionResult WriteFileBytes(const std::string& path, const std::string& bytes);
std::string ReadFileBytes(const std::string& path);
::testing::AssertionResult PathExists(const std::string& path);
// The short (8.3) form of an existing path.
std::string ShortPath(const std::string& path);

// A program of tests/fixtures, with its chosen version resource, by name.
std::string FixturePath(const char* name);
// A copy of bin/orvfixture.dll at the path, for a process to keep loaded.
::testing::AssertionResult CopyFixtureDll(const std::string& path);

// A text of this source file (UTF-8) in the ANSI code page, as the
// programs and the tables hold it.
std::string Ansi(const char* utf8);
// The same in the system's own ANSI code page, as the reports keep the
// texts whose names it holds.
std::string SystemAnsi(const char* utf8);

// A copy of orvline.exe or orvgui.exe in the folder whose manifest lacks
// the entry for UTF-8: the program as a system before Windows 10 version
// 1903 runs it, in the system's ANSI code page. Empty when it cannot be
// made, and where the program under test is a 32-bit one that a 64-bit
// test runs under WoW64 (the 64-bit build it carries runs in its place,
// with the entry).
std::string CopyWithoutUtf8(const char* exe, const std::string& folder);

// Whether a process of that executable name (orvgui.exe) runs now.
bool IsProcessRunning(const char* exeName);

// Polls a condition every 20 ms until it holds or the time is up.
template <typename Condition>
bool WaitUntil(Condition condition, DWORD timeoutMs)
{
    const DWORD start = ::GetTickCount();
    for (;;)
    {
        if (condition())
            return true;
        if (::GetTickCount() - start >= timeoutMs)
            return false;
        ::Sleep(20);
    }
}

// A process that keeps a file, a folder or a DLL in use until destroyed.
class CHolder
{
public:
    // Window: the DLL loaded and a window that ends the holder when told to
    // close. Guarded: the DLL loaded by a process nobody may open.
    // Cwd: the folder as current folder; Both: the DLL loaded and opened;
    // Pipe: a pipe (named by `path`) with a read that never ends. These three
    // have a window too. Read: the file opened for reading, shared for
    // reading only.
    enum EMode { Open, Load, Folder, Window, Guarded, Cwd, Both, Pipe, Read };
    // `program`: another build of the holder (a copy, another resource).
    CHolder(EMode mode, const std::string& path, const std::string& program = std::string());
    ~CHolder();
    CHolder(const CHolder&) = delete;
    CHolder& operator=(const CHolder&) = delete;

    bool IsHolding() const { return m_holding; }
    void Release();
    // Has the holder use the handle it holds: "used", or "failed <error>".
    std::string Use();

    DWORD GetProcessId() const { return m_processId; }
    // True, with the exit code, once the holder has ended.
    bool HasEnded(DWORD timeoutMs, DWORD* exitCode = nullptr) const;

private:
    DWORD m_processId = 0;
    HANDLE m_process = nullptr;
    HANDLE m_input = nullptr;
    HANDLE m_output = nullptr;
    bool m_holding = false;
};

// The restart queue of the NT family.
extern const char kSessionManagerKey[];
::testing::AssertionResult ReadPendingValue(std::vector<char>& bytes, DWORD* type = nullptr,
                                            const char* valueName = "PendingFileRenameOperations");
std::vector<std::string> SplitMultiString(const std::vector<char>& bytes);
void ClearPendingQueue();

// Restarts the Wine prefix (wineboot -r), which carries out the queue.
bool RestartPrefix();

// The names of the temporary files of the replacements in a folder.
std::vector<std::string> TemporaryFilesIn(const std::string& folder);

// The Windows folder's path joined with a name.
std::string WindowsPath(const std::string& name);

// The Unix path of a Windows path in the prefix (Wine's own answer); empty
// when Wine gives none.
std::string UnixPath(const std::string& windowsPath);
// Runs a script of the Unix shell (what Windows cannot make: links, names
// outside the code page or with a backslash, a drive letter), given without
// double quotes; true when it ended with 0.
bool RunUnixShell(const std::string& script);

// A registry value's raw bytes (terminators included) and type; false when
// the key or the value cannot be read.
::testing::AssertionResult ReadRegistryValue(HKEY hive, const char* key, const char* name, std::string& bytes,
                                             DWORD* type = nullptr);
// Creates the key when needed and writes the value (name null: the default
// value) with its type and bytes, or as a REG_SZ.
::testing::AssertionResult WriteRegistryValue(HKEY hive, const char* key, const char* name, DWORD type,
                                              const std::string& bytes);
::testing::AssertionResult WriteRegistryString(HKEY hive, const char* key, const char* name,
                                               const std::string& value);
void DeleteRegistryValue(HKEY hive, const char* key, const char* name);

// One autostart value of a test, removed again whatever the test did to it.
class CRunValue
{
public:
    static constexpr const char* kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

    CRunValue(HKEY hive, const char* key, const char* name, const std::string& data);
    // A value of the current user's Run key.
    CRunValue(const char* name, const std::string& data) : CRunValue(HKEY_CURRENT_USER, kRunKey, name, data) {}
    ~CRunValue() { DeleteRegistryValue(m_hive, m_key, m_name); }
    CRunValue(const CRunValue&) = delete;
    CRunValue& operator=(const CRunValue&) = delete;

    bool Written() const { return m_written; }
    ::testing::AssertionResult Exists() const;
    // The data as stored, with its terminator, and its type.
    std::string Bytes(DWORD* type = nullptr) const;
    // The data without its terminator; "(none)" when the value is absent.
    std::string Data() const;
    HKEY Hive() const { return m_hive; }
    const char* Key() const { return m_key; }
    const char* Name() const { return m_name; }

private:
    HKEY m_hive;
    const char* m_key;
    const char* m_name;
    bool m_written = false;
};

// The restart queue's bytes as the system keeps them; empty without a queue.
std::string PendingQueueBytes();
// The bytes of a queue holding these strings: each ends with its zero, and
// one more zero ends the list.
std::string PendingQueueOf(const std::vector<std::string>& strings);

// Clears the restart queue when created and again when destroyed, so that
// no entry of a test is left for a later restart.
class CEmptyPendingQueue
{
public:
    CEmptyPendingQueue() { ClearPendingQueue(); }
    ~CEmptyPendingQueue() { ClearPendingQueue(); }
    CEmptyPendingQueue(const CEmptyPendingQueue&) = delete;
    CEmptyPendingQueue& operator=(const CEmptyPendingQueue&) = delete;
};

// A test with a scratch folder of its own and an empty restart queue, before
// and after it.
class CQueueTest : public ::testing::Test
{
protected:
    CEmptyPendingQueue m_queue;
    CScratchDir m_dir;
};

// One operation of a list: its action and both paths.
class CFileInfo;
void ExpectOperation(const CFileInfo* item, LONG action, const std::string& source,
                     const std::string& destination);

// The queue's form of a path.
std::string NtPath(const std::string& path);

// Writes a value of the queue's key with the given type and bytes.
::testing::AssertionResult WritePendingValue(DWORD type, const std::string& bytes,
                                             const char* valueName = "PendingFileRenameOperations");
// A value of the queue's key as bytes; "<none>" when it is absent.
std::string PendingValueText(const char* valueName, DWORD* type = nullptr);

// The UTF-16 bytes of an ANSI text (zero bytes kept), as the system stores
// the queue.
std::string Utf16Bytes(const std::string& text);

// The queue value (or its backup) written and read as UTF-16, given and
// shown in UTF-8: entries that the ANSI code page lacks stay exact.
::testing::AssertionResult WritePendingUtf8(DWORD type, const std::vector<std::string>& strings,
                                            const char* valueName = "PendingFileRenameOperations");
// The value's bytes as the system keeps them, whatever the type: written
// through the wide call, which converts nothing.
::testing::AssertionResult WritePendingBytes(DWORD type, const std::string& bytes,
                                             const char* valueName = "PendingFileRenameOperations");
// The value's strings (the final empty one dropped) and its type; empty
// without a value.
std::vector<std::string> PendingUtf8(const char* valueName = "PendingFileRenameOperations",
                                     DWORD* type = nullptr);

// The system's own text for an error code, without its trailing line end.
std::string SystemText(DWORD code);

// orvline's error line for a failed operation: its path, the system's text
// and the code.
std::string FailureLine(const std::string& path, DWORD code);

// orvline's own texts on its output stream.
extern const char kBanner[];
extern const char kUsage[];
extern const char kProcessed[];
extern const char kGathering[];

// What orvline wrote after its banner; "<no banner>" unless the output
// starts with the banner exactly.
std::string AfterBanner(const std::string& out);

// A run's exit code and exact streams: the banner, then afterBanner on the
// output stream; err on the error stream.
::testing::AssertionResult RunEnded(const SRunResult& run, DWORD exitCode,
                                    const std::string& afterBanner, const std::string& err);
