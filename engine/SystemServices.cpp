#include "SystemServices.h"

#include "Handles.h"
#include "Text.h"

#include <shlobj.h>
#include <shlwapi.h>

bool IsWindowsNT()
{
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    ::GetVersionExA(&info); // on failure the platform id stays 0: not NT
    return info.dwPlatformId == VER_PLATFORM_WIN32_NT;
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

bool GetLongPath(std::string& path)
{
    if (path.empty())
        return false;

    IShellFolder* desktop = nullptr;
    if (FAILED(::SHGetDesktopFolder(&desktop)) || !desktop)
        return false;

    std::wstring wide = AnsiToWide(path);
    LPITEMIDLIST items = nullptr;
    const HRESULT parsed = desktop->ParseDisplayName(nullptr, nullptr, &wide[0], nullptr,
                                                     &items, nullptr);
    desktop->Release();
    if (FAILED(parsed) || !items)
        return false;

    char longPath[MAX_PATH] = {};
    const bool converted = ::SHGetPathFromIDListA(items, longPath) != FALSE;
    if (converted)
        path = longPath;

    IMalloc* allocator = nullptr;
    if (SUCCEEDED(::SHGetMalloc(&allocator)) && allocator)
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
    if (!m_library)
    {
        const std::string path = GetSystemPath("sfc.dll");
        if (!path.empty())
            m_library = ::LoadLibraryA(path.c_str());
        if (m_library)
            m_isProtected = reinterpret_cast<IsProtectedProc>(
                reinterpret_cast<void*>(::GetProcAddress(m_library, "SfcIsFileProtected")));
    }
    ++m_references;
}

void CProtectedFileService::Release()
{
    if (m_references-- == 1 && m_library)
    {
        ::FreeLibrary(m_library);
        m_library = nullptr;
        m_isProtected = nullptr;
    }
}

bool IsFileProtected(const std::string& path)
{
    const CProtectedFileService::IsProtectedProc isProtected = ProtectedFileService.GetEntryPoint();
    if (path.empty() || !isProtected)
        return false;
    const std::wstring wide = AnsiToWide(path);
    return isProtected(nullptr, wide.c_str()) != FALSE;
}
