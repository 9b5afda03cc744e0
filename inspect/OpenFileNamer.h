// How a handle open in another process is named: duplicated into this one,
// asked its native name, mapped to a drive path and compared with the
// object searched for, the same way by the holder scan and by the closing
// of handles.
#pragma once

#include "inspect/NativePaths.h"

#include <windows.h>

#include <string>
#include <vector>

// How long naming a single handle may take before it is given up.
extern const DWORD kNameQueryLimitMs;

// Copies of it name handles on other threads.
class COpenFileNamer
{
public:
    // The object as the handle table names it: its long form, on the first
    // drive letter of its volume. False with ERROR_NOT_SUPPORTED where the
    // system cannot name handles.
    bool Open(const std::string& path);
    const std::string& GetTarget() const { return m_target; }

    // The drive path of a handle of this process when it is a disk file
    // (only those are asked: naming a pipe may never return). False for
    // anything else, and for a name that no path of this program reaches.
    bool Name(HANDLE handle, std::string& path) const;
    // Whether a path that Name gave is the object or lies inside it; a name
    // opened in its short form is made long first.
    bool IsOnTarget(const std::string& path) const;

private:
    using QueryObjectProc = LONG(WINAPI*)(HANDLE handle, ULONG infoClass, PVOID buffer, ULONG size,
                                          PULONG returned);
    bool QueryName(HANDLE handle, std::wstring& name) const;

    QueryObjectProc m_queryObject = nullptr;
    std::string m_target;
    std::vector<SDosDevice> m_devices;
};
