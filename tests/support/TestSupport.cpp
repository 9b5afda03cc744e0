#include "tests/support/TestSupport.h"

#include "engine/CodePage.h"
#include "engine/FileInfo.h"
#include "engine/Handles.h"
#include "engine/ObjectPath.h"
#include "engine/TemporaryFiles.h"
#include "engine/Text.h"

#include <shlwapi.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstring>

std::string GetProgramDir()
{
    // A run may name another folder: the 64-bit tests run the 32-bit
    // deliverables under WoW64 so.
    char folder[MAX_PATH] = {};
    const DWORD length = ::GetEnvironmentVariableA("ORV_PROGRAM_DIR", folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return ORV_PROGRAM_DIR;
    std::string named(folder, length);
    for (char& c : named)
    {
        if (c == '/')
            c = '\\';
    }
    return named;
}

std::string GetBinPath(const char* exe)
{
    // The shipped programs and the reports they write beside themselves may
    // live apart from the test helpers (the 32-bit tests run the deliverables).
    const bool shipped = std::strncmp(exe, "orvline.", 8) == 0 || std::strncmp(exe, "orvgui.", 7) == 0;
    return (shipped ? GetProgramDir() : std::string(ORV_BIN_DIR)) + "\\" + exe;
}

std::string GetHelper32Path(const char* name)
{
    const std::string folder = ORV_HELPERS32_DIR;
    return folder == "Z:" ? std::string() : folder + "\\" + name;
}

std::string Quote(const std::string& argument)
{
    return "\"" + argument + "\"";
}

namespace
{

CFileHandle CreateCaptureFile(const std::string& path)
{
    SECURITY_ATTRIBUTES inherit = {};
    inherit.nLength = sizeof(inherit);
    inherit.bInheritHandle = TRUE;
    return CFileHandle(::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY, nullptr));
}

std::string TempFileName(const char* prefix)
{
    char folder[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, folder);
    char path[MAX_PATH] = {};
    ::GetTempFileNameA(folder, prefix, 0, path);
    return path;
}

// What a file or registry helper could not do, with the error code and its
// text; the last error stays as it was.
::testing::AssertionResult HelperFailure(const std::string& what, DWORD code)
{
    const DWORD lastError = ::GetLastError();
    ::testing::AssertionResult failure = ::testing::AssertionFailure()
                                         << what << ": error " << code << " (" << SystemText(code) << ")";
    ::SetLastError(lastError);
    return failure;
}

std::string KeyName(HKEY hive, const char* key)
{
    const char* const root = hive == HKEY_LOCAL_MACHINE  ? "HKLM"
                             : hive == HKEY_CURRENT_USER ? "HKCU"
                             : hive == HKEY_CLASSES_ROOT ? "HKCR"
                             : hive == HKEY_USERS        ? "HKU"
                                                         : "HKEY";
    return std::string(root) + "\\" + key;
}

std::string ValueName(HKEY hive, const char* key, const char* name)
{
    return KeyName(hive, key) + "\\" + (name ? name : "(default)");
}

} // namespace

BOOL StartProcess(LPCSTR application, LPSTR commandLine, BOOL inherit, DWORD flags, LPVOID environment,
                  LPCSTR folder, STARTUPINFOA* startup, PROCESS_INFORMATION* process)
{
    for (int attempt = 0;; ++attempt)
    {
        if (::CreateProcessA(application, commandLine, nullptr, nullptr, inherit, flags, environment, folder,
                             startup, process))
            return TRUE;
        if (::GetLastError() != ERROR_INTERNAL_ERROR || attempt == 4)
            return FALSE;
        ::Sleep(100 << attempt);
    }
}

SRunResult RunProgram(const std::string& commandLine, DWORD timeoutMs, const char* folder,
                      const char* environment)
{
    SRunResult result;
    const std::string outPath = TempFileName("out");
    const std::string errPath = TempFileName("err");
    {
        CFileHandle out = CreateCaptureFile(outPath);
        CFileHandle err = CreateCaptureFile(errPath);
        if (!out || !err)
        {
            result.err = "<capture files not made: " + std::to_string(::GetLastError()) + ">";
            return result;
        }

        STARTUPINFOA startup = {};
        startup.cb = sizeof(startup);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = nullptr;
        startup.hStdOutput = out.Get();
        startup.hStdError = err.Get();
        PROCESS_INFORMATION process = {};
        std::vector<char> line(commandLine.begin(), commandLine.end());
        line.push_back('\0');
        if (!StartProcess(nullptr, line.data(), TRUE, 0,
                              const_cast<char*>(environment), folder, &startup, &process))
        {
            // Shown where the test compares the error stream, so that a
            // program that never started is told from one that said nothing.
            result.err = "<not started: " + std::to_string(::GetLastError()) + ">";
            return result;
        }
        CHandle processHandle(process.hProcess);
        CHandle threadHandle(process.hThread);
        if (::WaitForSingleObject(process.hProcess, timeoutMs) != WAIT_OBJECT_0)
            ::TerminateProcess(process.hProcess, 0xDEAD);
        ::GetExitCodeProcess(process.hProcess, &result.exitCode);
    }
    result.out = ReadFileBytes(outPath);
    result.err = ReadFileBytes(errPath);
    ::DeleteFileA(outPath.c_str());
    ::DeleteFileA(errPath.c_str());
    return result;
}

SRunResult RunOrvline(const std::string& arguments)
{
    return RunProgram(Quote(GetBinPath("orvline.exe")) + (arguments.empty() ? "" : " ") + arguments);
}

SRunResult RunOrvlineIn(const std::string& folder, const std::string& arguments)
{
    return RunProgram(Quote(GetBinPath("orvline.exe")) + (arguments.empty() ? "" : " ") + arguments,
                      120000, folder.c_str());
}

CScratchDir::CScratchDir()
{
    static unsigned counter = 0;
    ::CreateDirectoryA("C:\\orvtest", nullptr);
    char name[64];
    std::snprintf(name, sizeof(name), "C:\\orvtest\\t%lu_%u", ::GetCurrentProcessId(), ++counter);
    m_path = name;
    RemoveTree(m_path);
    ::CreateDirectoryA(m_path.c_str(), nullptr);
}

CScratchDir::~CScratchDir()
{
    RemoveTree(m_path);
    // Names that no path reaches alone ("..\x" made on the Unix side).
    if (PathExists(m_path))
        RunUnixShell("rm -rf '" + UnixPath(m_path) + "'");
}

std::string CScratchDir::File(const std::string& name, const std::string& bytes) const
{
    const std::string path = *this / name;
    EXPECT_TRUE(WriteFileBytes(path, bytes)) << path;
    return path;
}

std::string CScratchDir::Folder(const std::string& name) const
{
    const std::string path = *this / name;
    EXPECT_TRUE(::CreateDirectoryA(path.c_str(), nullptr)) << path;
    return path;
}

void RemoveTree(const std::string& path)
{
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return;
    ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL | (attributes & FILE_ATTRIBUTE_DIRECTORY));
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
    {
        ::DeleteFileA(path.c_str());
        return;
    }
    if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
    {
        WIN32_FIND_DATAA data = {};
        CFindHandle find(::FindFirstFileA((path + "\\*").c_str(), &data));
        if (find)
        {
            do
            {
                // A name that reads as another path is left alone.
                const std::string name = data.cFileName;
                if (IsPlainName(name))
                    RemoveTree(path + "\\" + name);
            } while (::FindNextFileA(find.Get(), &data));
        }
    }
    ::RemoveDirectoryA(path.c_str());
}

::testing::AssertionResult WriteFileBytes(const std::string& path, const std::string& bytes)
{
    CFileHandle file(::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return HelperFailure("cannot create " + path, ::GetLastError());
    DWORD written = 0;
    if (!::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
        return HelperFailure("cannot write " + path, ::GetLastError());
    if (written != bytes.size())
        return ::testing::AssertionFailure() << "only " << written << " of " << bytes.size() << " bytes written to "
                                             << path;
    return ::testing::AssertionSuccess() << path << " written";
}

std::string ReadFileBytes(const std::string& path)
{
    CFileHandle file(::CreateFileA(path.c_str(), GENERIC_READ,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, 0, nullptr));
    std::string bytes;
    if (!file)
        return bytes;
    char buffer[4096];
    DWORD read = 0;
    while (::ReadFile(file.Get(), buffer, sizeof(buffer), &read, nullptr) && read != 0)
        bytes.append(buffer, read);
    return bytes;
}

::testing::AssertionResult PathExists(const std::string& path)
{
    if (::GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES)
        return HelperFailure(path + " is not there", ::GetLastError());
    return ::testing::AssertionSuccess() << path << " is there";
}

std::string ShortPath(const std::string& path)
{
    char buffer[MAX_PATH] = {};
    const DWORD length = ::GetShortPathNameA(path.c_str(), buffer, MAX_PATH);
    EXPECT_TRUE(length > 0 && length < MAX_PATH) << path;
    return length < MAX_PATH ? buffer : "";
}

std::string FixturePath(const char* name)
{
    return std::string(ORV_FIXTURE_DIR) + "\\" + name + ".exe";
}

::testing::AssertionResult CopyFixtureDll(const std::string& path)
{
    const std::string fixture = GetBinPath("orvfixture.dll");
    if (!::CopyFileA(fixture.c_str(), path.c_str(), FALSE))
        return HelperFailure("cannot copy " + fixture + " to " + path, ::GetLastError());
    return ::testing::AssertionSuccess() << path << " copied";
}

std::string Ansi(const char* utf8)
{
    const int length = ::MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length > 0 ? length : 1), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8, -1, &wide[0], length);
    return WideToAnsi(wide.c_str());
}

std::string SystemAnsi(const char* utf8)
{
    return ToCodePage(FromCodePage(utf8, CP_UTF8), GetSystemAnsiCodePage());
}

namespace
{

BOOL CALLBACK TakeLanguage(HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR found)
{
    *reinterpret_cast<WORD*>(found) = language;
    return FALSE;
}

} // namespace

std::string CopyWithoutUtf8(const char* exe, const std::string& folder)
{
    const std::string original = GetBinPath(exe);
    DWORD kind = 0;
    if (sizeof(void*) == 8 && ::GetBinaryTypeA(original.c_str(), &kind) && kind == SCS_32BIT_BINARY)
        return std::string();
    const std::string copy = folder + "\\" + exe;
    if (!::CopyFileA(original.c_str(), copy.c_str(), FALSE))
        return std::string();

    // The manifest as built, and the language it was stored under.
    std::string manifest;
    WORD language = 0;
    {
        CModule module(::LoadLibraryExA(copy.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
        ::EnumResourceLanguagesA(module.Get(), MAKEINTRESOURCEA(24), MAKEINTRESOURCEA(1), TakeLanguage,
                                 reinterpret_cast<LONG_PTR>(&language));
        const HRSRC info = ::FindResourceExA(module.Get(), MAKEINTRESOURCEA(24), MAKEINTRESOURCEA(1), language);
        const HGLOBAL data = info ? ::LoadResource(module.Get(), info) : nullptr;
        const char* bytes = data ? static_cast<const char*>(::LockResource(data)) : nullptr;
        if (bytes)
            manifest.assign(bytes, ::SizeofResource(module.Get(), info));
    }
    const std::size_t begin = manifest.find("<activeCodePage");
    const std::size_t end = manifest.find("</activeCodePage>");
    if (begin == std::string::npos || end == std::string::npos)
        return std::string();
    manifest.erase(begin, end + std::strlen("</activeCodePage>") - begin);

    const HANDLE update = ::BeginUpdateResourceA(copy.c_str(), FALSE);
    if (!update || !::UpdateResourceA(update, MAKEINTRESOURCEA(24), MAKEINTRESOURCEA(1), language, &manifest[0],
                                      static_cast<DWORD>(manifest.size())) ||
        !::EndUpdateResourceA(update, FALSE))
        return std::string();
    return copy;
}

bool IsProcessRunning(const char* exeName)
{
    // Toolhelp answers INVALID_HANDLE_VALUE on failure, as CreateFile does.
    CFileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = snapshot && ::Process32First(snapshot.Get(), &entry); more;
         more = ::Process32Next(snapshot.Get(), &entry))
    {
        if (::lstrcmpiA(entry.szExeFile, exeName) == 0)
            return true;
    }
    return false;
}

CHolder::CHolder(EMode mode, const std::string& path, const std::string& program)
{
    SECURITY_ATTRIBUTES inherit = {};
    inherit.nLength = sizeof(inherit);
    inherit.bInheritHandle = TRUE;
    HANDLE inputRead = nullptr;
    HANDLE outputRead = nullptr;
    HANDLE outputWrite = nullptr;
    if (!::CreatePipe(&inputRead, &m_input, &inherit, 0) ||
        !::CreatePipe(&outputRead, &outputWrite, &inherit, 0))
        return;
    ::SetHandleInformation(m_input, HANDLE_FLAG_INHERIT, 0);
    ::SetHandleInformation(outputRead, HANDLE_FLAG_INHERIT, 0);
    CHandle childInput(inputRead);
    CHandle ownOutput(outputRead);
    CHandle childOutput(outputWrite);

    static const char* const verbs[] = {"open", "load", "dir", "window", "guarded", "cwd", "both", "pipe", "read"};
    std::string commandLine = Quote(program.empty() ? GetBinPath("orvholder.exe") : program) + " " +
                              verbs[mode] + " " + Quote(path);
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = inputRead;
    startup.hStdOutput = outputWrite;
    startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process = {};
    if (!StartProcess(nullptr, &commandLine[0], TRUE, 0, nullptr, nullptr,
                          &startup, &process))
        return;
    ::CloseHandle(process.hThread);
    m_process = process.hProcess;
    m_processId = process.dwProcessId;
    childInput.Reset();
    childOutput.Reset();

    // A pipe may hand the word over in pieces.
    char buffer[16] = {};
    DWORD got = 0;
    for (DWORD read = 0; got < 5 && ::ReadFile(ownOutput.Get(), buffer + got, 5 - got, &read, nullptr) && read;)
        got += read;
    m_holding = got == 5 && std::string(buffer, 5) == "ready";
    m_output = ownOutput.Release();
}

std::string CHolder::Use()
{
    DWORD written = 0;
    if (!m_input || !::WriteFile(m_input, "u", 1, &written, nullptr))
        return "no holder";
    // The answer's line, after what is left of earlier lines.
    std::string line;
    char byte = 0;
    DWORD read = 0;
    while (m_output && ::ReadFile(m_output, &byte, 1, &read, nullptr) && read == 1)
    {
        if (byte == '\n' && !line.empty())
            break;
        if (byte != '\n' && byte != '\r')
            line += byte;
    }
    return line;
}

CHolder::~CHolder()
{
    Release();
}

void CHolder::Release()
{
    if (m_input)
    {
        ::CloseHandle(m_input);
        m_input = nullptr;
    }
    if (m_output)
    {
        ::CloseHandle(m_output);
        m_output = nullptr;
    }
    if (m_process)
    {
        if (::WaitForSingleObject(m_process, 10000) != WAIT_OBJECT_0)
            ::TerminateProcess(m_process, 1);
        ::CloseHandle(m_process);
        m_process = nullptr;
    }
    m_holding = false;
}

bool CHolder::HasEnded(DWORD timeoutMs, DWORD* exitCode) const
{
    if (!m_process || ::WaitForSingleObject(m_process, timeoutMs) != WAIT_OBJECT_0)
        return false;
    DWORD code = 0;
    ::GetExitCodeProcess(m_process, &code);
    if (exitCode)
        *exitCode = code;
    return true;
}

const char kSessionManagerKey[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";

::testing::AssertionResult ReadPendingValue(std::vector<char>& bytes, DWORD* type, const char* valueName)
{
    std::string text;
    ::testing::AssertionResult read = ReadRegistryValue(HKEY_LOCAL_MACHINE, kSessionManagerKey, valueName, text, type);
    bytes.assign(text.begin(), text.end());
    return read;
}

std::vector<std::string> SplitMultiString(const std::vector<char>& bytes)
{
    std::vector<std::string> strings;
    std::string current;
    for (char c : bytes)
    {
        if (c == '\0')
        {
            strings.push_back(current);
            current.clear();
        }
        else
        {
            current += c;
        }
    }
    if (!current.empty())
        strings.push_back(current);
    return strings;
}

void ClearPendingQueue()
{
    CRegKey key;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManagerKey, 0, KEY_SET_VALUE, key.Receive()) ==
        ERROR_SUCCESS)
    {
        ::RegDeleteValueA(key.Get(), "PendingFileRenameOperations");
        ::RegDeleteValueA(key.Get(), "PendingFileRenameOperations.Backup");
    }
}

std::vector<std::string> TemporaryFilesIn(const std::string& folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA data = {};
    CFindHandle find(::FindFirstFileA((folder + "\\*").c_str(), &data));
    for (bool more = find.IsValid(); more; more = ::FindNextFileA(find.Get(), &data) != FALSE)
    {
        if (IsTemporaryName(data.cFileName))
            names.push_back(data.cFileName);
    }
    return names;
}

bool RestartPrefix()
{
    const SRunResult result = RunProgram("wineboot.exe -r", 120000);
    return result.exitCode == 0;
}

std::string WindowsPath(const std::string& name)
{
    char folder[MAX_PATH] = {};
    ::GetWindowsDirectoryA(folder, MAX_PATH);
    return std::string(folder) + "\\" + name;
}

std::string UnixPath(const std::string& windowsPath)
{
    using UnixNameProc = char*(CDECL*)(LPCWSTR);
    UnixNameProc unixName = nullptr;
    if (!ResolveExport(::GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name", unixName))
        return std::string();
    char* name = unixName(AnsiToWide(windowsPath).c_str());
    const std::string path = name ? name : "";
    ::HeapFree(::GetProcessHeap(), 0, name);
    return path;
}

bool RunUnixShell(const std::string& script)
{
    // Wine gives no handle to wait for a Unix program: the script leaves its
    // exit status in a file, which appears only once complete.
    char folder[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, folder);
    const std::string status = std::string(folder) + "orvshell" + std::to_string(::GetCurrentProcessId());
    ::DeleteFileA(status.c_str());
    const std::string unixStatus = UnixPath(status);
    std::string commandLine = "sh -c \"{ " + script + "; } >/dev/null 2>&1; echo $? > '" + unixStatus +
                              ".part' && mv '" + unixStatus + ".part' '" + unixStatus + "'\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (unixStatus.empty() || !StartProcess("Z:\\bin\\sh", &commandLine[0], FALSE, 0,
                                                nullptr, nullptr, &startup, &process))
        return false;
    // No handle is closed: Wine returns none for a Unix program, and some
    // versions leave stale values in their place, which would close an
    // unrelated handle of this process at random.
    const DWORD start = ::GetTickCount();
    while (!PathExists(status) && ::GetTickCount() - start < 30000)
        ::Sleep(20);
    const std::string code = ReadFileBytes(status);
    ::DeleteFileA(status.c_str());
    return code == "0\n";
}

::testing::AssertionResult ReadRegistryValue(HKEY hive, const char* key, const char* name, std::string& bytes,
                                             DWORD* type)
{
    bytes.clear();
    CRegKey opened;
    LONG status = ::RegOpenKeyExA(hive, key, 0, KEY_QUERY_VALUE, opened.Receive());
    if (status != ERROR_SUCCESS)
        return HelperFailure("cannot open " + KeyName(hive, key), static_cast<DWORD>(status));
    DWORD size = 0;
    DWORD valueType = 0;
    status = ::RegQueryValueExA(opened.Get(), name, nullptr, &valueType, nullptr, &size);
    if (status == ERROR_SUCCESS)
    {
        bytes.resize(size);
        status = ::RegQueryValueExA(opened.Get(), name, nullptr, &valueType, reinterpret_cast<BYTE*>(&bytes[0]),
                                    &size);
    }
    if (status != ERROR_SUCCESS)
    {
        bytes.clear();
        return HelperFailure("cannot read " + ValueName(hive, key, name), static_cast<DWORD>(status));
    }
    bytes.resize(size);
    if (type)
        *type = valueType;
    return ::testing::AssertionSuccess() << ValueName(hive, key, name) << " read";
}

::testing::AssertionResult WriteRegistryValue(HKEY hive, const char* key, const char* name, DWORD type,
                                              const std::string& bytes)
{
    CRegKey opened;
    LONG status =
        ::RegCreateKeyExA(hive, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, opened.Receive(), nullptr);
    if (status != ERROR_SUCCESS)
        return HelperFailure("cannot create " + KeyName(hive, key), static_cast<DWORD>(status));
    status = ::RegSetValueExA(opened.Get(), name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                              static_cast<DWORD>(bytes.size()));
    if (status != ERROR_SUCCESS)
        return HelperFailure("cannot write " + ValueName(hive, key, name), static_cast<DWORD>(status));
    return ::testing::AssertionSuccess() << ValueName(hive, key, name) << " written";
}

::testing::AssertionResult WriteRegistryString(HKEY hive, const char* key, const char* name, const std::string& value)
{
    return WriteRegistryValue(hive, key, name, REG_SZ, std::string(value.c_str(), value.size() + 1));
}

void DeleteRegistryValue(HKEY hive, const char* key, const char* name)
{
    CRegKey opened;
    if (::RegOpenKeyExA(hive, key, 0, KEY_SET_VALUE, opened.Receive()) == ERROR_SUCCESS)
        ::RegDeleteValueA(opened.Get(), name);
}

std::string PendingQueueBytes()
{
    std::vector<char> bytes;
    if (!ReadPendingValue(bytes))
        return std::string();
    return std::string(bytes.begin(), bytes.end());
}

std::string PendingQueueOf(const std::vector<std::string>& strings)
{
    std::string bytes;
    for (const std::string& text : strings)
        bytes += text + std::string(1, '\0');
    return bytes + std::string(1, '\0');
}

void ExpectOperation(const CFileInfo* item, LONG action, const std::string& source,
                     const std::string& destination)
{
    ASSERT_NE(nullptr, item);
    EXPECT_EQ(action, item->GetAction()) << item->GetSource();
    EXPECT_EQ(source, item->GetSource());
    EXPECT_EQ(destination, item->GetDestination());
}

std::string NtPath(const std::string& path)
{
    return "\\??\\" + path;
}

::testing::AssertionResult WritePendingValue(DWORD type, const std::string& bytes, const char* valueName)
{
    return WriteRegistryValue(HKEY_LOCAL_MACHINE, kSessionManagerKey, valueName, type, bytes);
}

std::string PendingValueText(const char* valueName, DWORD* type)
{
    std::string bytes;
    if (!ReadRegistryValue(HKEY_LOCAL_MACHINE, kSessionManagerKey, valueName, bytes, type))
        return "<none>";
    return bytes;
}

std::string Utf16Bytes(const std::string& text)
{
    std::string bytes;
    for (std::size_t i = 0; i < text.size();)
    {
        // Zero bytes split the text: each piece is converted on its own.
        std::size_t end = text.find('\0', i);
        if (end == std::string::npos)
            end = text.size();
        const std::wstring wide = AnsiToWide(text.substr(i, end - i));
        bytes.append(reinterpret_cast<const char*>(wide.data()), wide.size() * sizeof(wchar_t));
        if (end < text.size())
            bytes.append(2, '\0');
        i = end + 1;
    }
    return bytes;
}

::testing::AssertionResult WritePendingUtf8(DWORD type, const std::vector<std::string>& strings, const char* valueName)
{
    std::wstring text;
    for (const std::string& string : strings)
    {
        wchar_t buffer[1024] = {};
        const int length = ::MultiByteToWideChar(CP_UTF8, 0, string.data(),
                                                 static_cast<int>(string.size()), buffer, 1024);
        text.append(buffer, static_cast<std::size_t>(length));
        text += L'\0';
    }
    text += L'\0';
    return WritePendingBytes(type, std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t)),
                             valueName);
}

::testing::AssertionResult WritePendingBytes(DWORD type, const std::string& bytes, const char* valueName)
{
    CRegKey key;
    LONG status = ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManagerKey, 0, KEY_SET_VALUE, key.Receive());
    if (status != ERROR_SUCCESS)
        return HelperFailure("cannot open " + KeyName(HKEY_LOCAL_MACHINE, kSessionManagerKey),
                             static_cast<DWORD>(status));
    status = ::RegSetValueExW(key.Get(), AnsiToWide(valueName).c_str(), 0, type,
                              reinterpret_cast<const BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()));
    if (status != ERROR_SUCCESS)
        return HelperFailure("cannot write " + ValueName(HKEY_LOCAL_MACHINE, kSessionManagerKey, valueName),
                             static_cast<DWORD>(status));
    return ::testing::AssertionSuccess() << ValueName(HKEY_LOCAL_MACHINE, kSessionManagerKey, valueName)
                                         << " written";
}

std::vector<std::string> PendingUtf8(const char* valueName, DWORD* type)
{
    std::vector<std::string> strings;
    CRegKey key;
    DWORD size = 0;
    DWORD valueType = 0;
    const std::wstring name = AnsiToWide(valueName);
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManagerKey, 0, KEY_QUERY_VALUE,
                        key.Receive()) != ERROR_SUCCESS ||
        ::RegQueryValueExW(key.Get(), name.c_str(), nullptr, &valueType, nullptr, &size) !=
            ERROR_SUCCESS)
        return strings;
    std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
    if (::RegQueryValueExW(key.Get(), name.c_str(), nullptr, &valueType,
                           reinterpret_cast<BYTE*>(&text[0]), &size) != ERROR_SUCCESS)
        return strings;
    text.resize(size / sizeof(wchar_t));
    if (type)
        *type = valueType;
    for (std::size_t i = 0; i < text.size();)
    {
        std::size_t end = text.find(L'\0', i);
        if (end == std::wstring::npos)
            end = text.size();
        char buffer[4096] = {};
        const int length = ::WideCharToMultiByte(CP_UTF8, 0, text.data() + i,
                                                 static_cast<int>(end - i), buffer, 4096, nullptr,
                                                 nullptr);
        strings.emplace_back(buffer, static_cast<std::size_t>(length));
        i = end + 1;
    }
    if (!strings.empty() && strings.back().empty())
        strings.pop_back();
    return strings;
}

std::string SystemText(DWORD code)
{
    char* buffer = nullptr;
    const DWORD length = ::FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, LANG_USER_DEFAULT, reinterpret_cast<char*>(&buffer), 0, nullptr);
    std::string text(buffer ? buffer : "", length);
    ::LocalFree(buffer);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\r' || text.back() == '\n'))
        text.pop_back();
    return text;
}

std::string FailureLine(const std::string& path, DWORD code)
{
    return "\r\n" + path + ": " + SystemText(code) + " (" + std::to_string(code) + ")\r\n";
}

const char kBanner[] =
    "Orvane en Ligne de Commandes - Version 1.00 (build 0.0)\r\n"
    "Remplace, deplace, renomme ou supprime tout fichier ou dossier verrouille par un processus "
    "en cours.\r\n"
    "Copyright (C) 2026 Hadrel. Tous droits reserves.\r\n"
    "https://www.hadrel.example/orvane\r\n"
    "\r\n";

const char kUsage[] =
    "Syntaxe:\r\n\r\n"
    "  orvline [<rep. source> [<rep. cible>]] [/downgrade] [/log] [/pending] [/reboot] [/release]\r\n"
    "  orvline <rep. source> /holders\r\n"
    "  orvline /queue\r\n\r\n"
    "Signification:\r\n\r\n"
    "  <rep. source>\tOption, repertoire complet d'acces au fichier\r\n"
    "  <rep. cible>\tOption, repertoire complet de destination\r\n\r\n"
    "Commandes Optionnelles:\r\n"
    "  /downgrade\tAutorise le remplacement d'un fichier par une version plus ancienne\r\n"
    "  /log\t\tCree un fichier de rapport apres avoir effectue les operations\r\n"
    "  /pending\tAcquisition et traitement des operations en attente systeme\r\n"
    "  /reboot\tRedemarrage automatique si c'est necessaire\r\n"
    "  /holders\tListe les processus qui utilisent le fichier ou le dossier, sans rien changer\r\n"
    "  /queue\t\tListe les operations en attente du redemarrage, sans rien changer\r\n"
    "  /release\tFerme d'abord ce que les autres processus tiennent ouvert du fichier ou du dossier\r\n"
    "\t\t(ils continuent, mais peuvent echouer et perdre ce qu'ils n'avaient pas ecrit)\r\n\r\n";

const char kProcessed[] = "Traitement...\r\nFait.\r\n";
const char kGathering[] = "Regroupement des operations en attente sur le systeme...\r\n";

std::string AfterBanner(const std::string& out)
{
    const std::string banner = kBanner;
    return out.compare(0, banner.size(), banner) == 0 ? out.substr(banner.size()) : "<no banner>";
}

::testing::AssertionResult RunEnded(const SRunResult& run, DWORD exitCode,
                                    const std::string& afterBanner, const std::string& err)
{
    if (run.exitCode == exitCode && run.out == kBanner + afterBanner && run.err == err)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "exit code " << run.exitCode << " (expected " << exitCode << ")\n"
           << "output after the banner: " << ::testing::PrintToString(AfterBanner(run.out))
           << "\n  expected: " << ::testing::PrintToString(afterBanner) << "\n"
           << "error stream: " << ::testing::PrintToString(run.err)
           << "\n  expected: " << ::testing::PrintToString(err);
}

CRunValue::CRunValue(HKEY hive, const char* key, const char* name, const std::string& data)
    : m_hive(hive), m_key(key), m_name(name)
{
    m_written = static_cast<bool>(WriteRegistryString(hive, key, name, data));
}

::testing::AssertionResult CRunValue::Exists() const
{
    std::string bytes;
    return ReadRegistryValue(m_hive, m_key, m_name, bytes);
}

std::string CRunValue::Bytes(DWORD* type) const
{
    std::string bytes;
    ReadRegistryValue(m_hive, m_key, m_name, bytes, type);
    return bytes;
}

std::string CRunValue::Data() const
{
    std::string bytes;
    if (!ReadRegistryValue(m_hive, m_key, m_name, bytes))
        return "(none)";
    if (!bytes.empty() && bytes.back() == '\0')
        bytes.pop_back();
    return bytes;
}
