// Stopping the service that a process hosts, through the service control
// manager, its running dependents first. One connection per termination
// attempt.
#pragma once

#include "engine/Handles.h"

#include <windows.h>

#include <string>
#include <vector>

struct CServiceHandleTraits
{
    using Type = SC_HANDLE;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::CloseServiceHandle(h); }
};

using CServiceHandle = CUniqueHandle<CServiceHandleTraits>;

// The pause between two looks at a service that is on its way: a tenth of
// its wait hint, kept within 1 and 10 seconds.
DWORD GetServicePollInterval(DWORD waitHint);

class CServiceManager
{
public:
    // Longest wait for a service to stop after a stop request.
    static constexpr DWORD kStopTimeoutMs = 30000;
    // Stop requests refused because dependents came back, before giving up.
    static constexpr int kStopRetries = 3;

    CServiceManager() = default;
    virtual ~CServiceManager() = default;

    CServiceManager(const CServiceManager&) = delete;
    CServiceManager& operator=(const CServiceManager&) = delete;

    // The local service control manager, for enumeration and connection.
    bool OpenManager();

    // The name (not the display name) of the first active Win32 service
    // that runs in the process. ERROR_FILE_NOT_FOUND when there is none.
    bool FindServiceByProcessId(DWORD processId, char* name, DWORD size);

    // Stops the service, its running dependents first when it refuses
    // because of them, and waits up to `timeoutMs` for each stop.
    bool StopService(const std::string& name, DWORD timeoutMs = kStopTimeoutMs);
    bool StopDependentServices(SC_HANDLE service, DWORD timeoutMs = kStopTimeoutMs);

    // Polls while the service is in `pending`; true once it is in `desired`.
    // ERROR_TIMEOUT past the time-out, ERROR_INVALID_STATE when it settles
    // in another state.
    static bool WaitForServiceState(SC_HANDLE service, DWORD pending, DWORD desired,
                                    DWORD timeoutMs);

protected:
    // The stop request; ERROR_DEPENDENT_SERVICES_RUNNING when the manager
    // refuses it because of running dependents.
    virtual bool SendStop(SC_HANDLE service);
    // The names of the running services that depend on the service, in the
    // manager's order.
    virtual bool ReadActiveDependents(SC_HANDLE service, std::vector<std::string>& names);

private:
    CServiceHandle m_manager;
};
