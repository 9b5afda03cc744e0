#include "engine/SystemServices.h"

#include "engine/Handles.h"
#include "engine/Text.h"

#include <shlobj.h>
#include <shlwapi.h>

bool IsWindowsNT()
{
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    ::GetVersionExA(&info); // on failure the platform id stays 0: not NT
    return info.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

bool IsRunningUnderWow64()
{
    // Windows 98 and 2000 lack the call: they run no 64-bit code.
    using IsWow64ProcessProc = BOOL(WINAPI*)(HANDLE, PBOOL);
    IsWow64ProcessProc isWow64 = nullptr;
    BOOL wow64 = FALSE;
    return ResolveExport(::GetModuleHandleA("kernel32.dll"), "IsWow64Process", isWow64) &&
           isWow64(::GetCurrentProcess(), &wow64) && wow64;
}

bool Is64BitWindows()
{
#if defined(_WIN64)
    return true;
#else
    return IsRunningUnderWow64();
#endif
}

bool EnablePrivilege(const char* name, bool enable)
{
    CHandle token;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY,
                            token.Receive()))
        return false;

    TOKEN_PRIVILEGES privileges = {};
    privileges.PrivilegeCount = 1;
    if (!::LookupPrivilegeValueA(nullptr, name, &privileges.Privileges[0].Luid))
        return false;
    privileges.Privileges[0].Attributes = enable ? SE_PRIVILEGE_ENABLED : 0;

    // Success without the privilege assigned (ERROR_NOT_ALL_ASSIGNED) still
    // counts: the call that needs the privilege fails later instead.
    return ::AdjustTokenPrivileges(token.Get(), FALSE, &privileges, 0, nullptr, nullptr) != FALSE;
}

bool RestartSystem()
{
    if (IsWindowsNT() && !EnablePrivilege("SeShutdownPrivilege", true))
        return false;
    return ::ExitWindowsEx(EWX_REBOOT, 0) != FALSE;
}

std::string GetErrorText(DWORD code)
{
    std::string text;
    char* buffer = nullptr;
    // Inserts such as %1 are left as they stand: no argument is ever read.
    const DWORD length = ::FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, LANG_USER_DEFAULT, reinterpret_cast<char*>(&buffer), 0, nullptr);
    if (length != 0 && buffer)
    {
        text.reserve(length);
        for (DWORD i = 0; i < length; ++i)
        {
            if (buffer[i] == '\r' && i + 1 < length && buffer[i + 1] == '\n')
            {
                ++i;
                continue;
            }
            text += buffer[i];
        }
    }
    CLocalMemory owner(buffer);
    return text;
}

std::string GetSystemPath(const std::string& fileName)
{
    char path[MAX_PATH] = {};
    ::GetSystemDirectoryA(path, MAX_PATH);
    char name[MAX_PATH] = {};
    if (!CopyToBuffer(fileName, name) || !::PathAppendA(path, name))
        return std::string();
    return path;
}

bool IsSameFolder(const std::string& a, const std::string& b)
{
    char folderA[MAX_PATH] = {};
    char folderB[MAX_PATH] = {};
    if (!CopyToBuffer(a, folderA) || !CopyToBuffer(b, folderB))
        return false;
    ::PathRemoveFileSpecA(folderA);
    ::PathRemoveFileSpecA(folderB);
    return IsSameText(folderA, folderB);
}

namespace
{

// The shell is needed only to convert short names (the 9x queue); loading it
// with the program would slow down every start.
struct SShellCalls
{
    using GetDesktopFolderProc = HRESULT(WINAPI*)(IShellFolder**);
    using GetPathFromIDListProc = BOOL(WINAPI*)(LPCITEMIDLIST, LPSTR);
    using GetMallocProc = HRESULT(WINAPI*)(IMalloc**);

    CModule library;
    GetDesktopFolderProc getDesktopFolder = nullptr;
    GetPathFromIDListProc getPathFromIDList = nullptr;
    GetMallocProc getMalloc = nullptr;

    SShellCalls() : library(::LoadLibraryA("shell32.dll"))
    {
        if (!library)
            return;
        ResolveExport(library.Get(), "SHGetDesktopFolder", getDesktopFolder);
        ResolveExport(library.Get(), "SHGetPathFromIDListA", getPathFromIDList);
        ResolveExport(library.Get(), "SHGetMalloc", getMalloc);
    }

    bool IsComplete() const { return getDesktopFolder && getPathFromIDList && getMalloc; }
};

const SShellCalls& GetShellCalls()
{
    static const SShellCalls calls;
    return calls;
}

} // namespace

bool GetFullPath(const std::string& path, std::string& full)
{
    char buffer[MAX_PATH] = {};
    const DWORD length = ::GetFullPathNameA(path.c_str(), MAX_PATH, buffer, nullptr);
    if (length == 0 || length >= MAX_PATH)
    {
        if (length >= MAX_PATH)
            ::SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    full = buffer;
    return true;
}

bool GetLongPath(std::string& path)
{
    if (path.empty())
        return false;
    const SShellCalls& shell = GetShellCalls();
    if (!shell.IsComplete())
        return false;

    IShellFolder* desktop = nullptr;
    if (FAILED(shell.getDesktopFolder(&desktop)) || !desktop)
        return false;

    std::wstring wide = AnsiToWide(path);
    LPITEMIDLIST items = nullptr;
    const HRESULT parsed = desktop->ParseDisplayName(nullptr, nullptr, &wide[0], nullptr,
                                                     &items, nullptr);
    desktop->Release();
    if (FAILED(parsed) || !items)
        return false;

    char longPath[MAX_PATH] = {};
    const bool converted = shell.getPathFromIDList(items, longPath) != FALSE;
    if (converted)
        path = longPath;

    IMalloc* allocator = nullptr;
    if (SUCCEEDED(shell.getMalloc(&allocator)) && allocator)
    {
        allocator->Free(items);
        allocator->Release();
    }
    return converted;
}

// Created before the entry point, released after it: static storage.
CProtectedFileService ProtectedFileService;

CProtectedFileService::CProtectedFileService()
{
    AddRef();
}

CProtectedFileService::~CProtectedFileService()
{
    Release();
}

void CProtectedFileService::AddRef()
{
    ++m_references;
}

void CProtectedFileService::Release()
{
    if (m_references-- == 1)
    {
        if (m_library)
            ::FreeLibrary(m_library);
        m_library = nullptr;
        m_isProtected = nullptr;
        m_loadTried = false;
    }
}

CProtectedFileService::IsProtectedProc CProtectedFileService::GetEntryPoint()
{
    if (m_references > 0 && !m_loadTried)
    {
        // Once per life, found or not: a system without the service is asked
        // only once.
        m_loadTried = true;
        const DWORD error = ::GetLastError();
        const std::string path = GetSystemPath("sfc.dll");
        if (!path.empty())
            m_library = ::LoadLibraryA(path.c_str());
        if (m_library)
            ResolveExport(m_library, "SfcIsFileProtected", m_isProtected);
        ::SetLastError(error);
    }
    return m_isProtected;
}

bool IsFileProtected(const std::string& path)
{
    const CProtectedFileService::IsProtectedProc isProtected = ProtectedFileService.GetEntryPoint();
    if (path.empty() || !isProtected)
        return false;
    const std::wstring wide = AnsiToWide(path);
    return isProtected(nullptr, wide.c_str()) != FALSE;
}
