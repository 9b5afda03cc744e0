// The operating system behind one small interface: family, privileges,
// restart, error texts, folders and the system file protection test.
#pragma once

#include <windows.h>

#include <string>

// True on the NT family; false on Windows 9x/Me (and when the system does
// not say). Asked afresh on every call.
bool IsWindowsNT();

// True for a 32-bit process on 64-bit Windows (WoW64), whose view of the
// system folder and of the machine's software keys the system redirects.
// False on every 32-bit Windows and in a 64-bit process.
bool IsRunningUnderWow64();

// True on 64-bit Windows, whichever kind of process asks.
bool Is64BitWindows();

bool EnablePrivilege(const char* name, bool enable);

// Asks the system to restart (applications may refuse). True when the
// restart has begun; the call returns before the machine goes down.
bool RestartSystem();

// The system's message for a Windows error code, line breaks removed;
// empty when the system has no text for it.
std::string GetErrorText(DWORD code);

// The system folder joined with a file name.
std::string GetSystemPath(const std::string& fileName);

// True when both paths, without their last components, name the same folder.
bool IsSameFolder(const std::string& a, const std::string& b);

// The full path, as GetFullPathNameA resolves it against the current folder
// (of its drive, for "C:" or "C:name"). False when the result does not fit a
// path buffer (ERROR_FILENAME_EXCED_RANGE).
bool GetFullPath(const std::string& path, std::string& full);

// Replaces the path by its long form as the shell sees it (8.3 names become
// long names). False, and the path unchanged, when it cannot be converted.
bool GetLongPath(std::string& path);

// True when the system protects the file (sfc.dll). False for an empty path
// or on a system without the protection service.
bool IsFileProtected(const std::string& path);

// The protection library, shared by the whole program: created before the
// entry point runs and released after it returns. The library itself is loaded
// when first asked for, so that runs which never test a file do not pay for it.
class CProtectedFileService
{
public:
    using IsProtectedProc = BOOL(WINAPI*)(HANDLE, LPCWSTR);

    CProtectedFileService();
    virtual ~CProtectedFileService();

    CProtectedFileService(const CProtectedFileService&) = delete;
    CProtectedFileService& operator=(const CProtectedFileService&) = delete;

    void AddRef();
    void Release();

    IsProtectedProc GetEntryPoint();

private:
    HMODULE m_library = nullptr;
    IsProtectedProc m_isProtected = nullptr;
    LONG m_references = 0;
    bool m_loadTried = false;
};

extern CProtectedFileService ProtectedFileService;
