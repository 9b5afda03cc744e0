#include "inspect/ServiceManager.h"

#include "engine/Text.h"
#include "inspect/HeapBuffer.h"

#include <algorithm>
#include <memory>
#include <new>

namespace
{

// Stopped, or on its way: only the wait is left.
bool IsStopping(const SERVICE_STATUS& status)
{
    return status.dwCurrentState == SERVICE_STOPPED || status.dwCurrentState == SERVICE_STOP_PENDING;
}

using EnumServicesStatusExProc = BOOL(WINAPI*)(SC_HANDLE, SC_ENUM_TYPE, DWORD, DWORD, LPBYTE, DWORD,
                                               LPDWORD, LPDWORD, LPDWORD, LPCSTR);

constexpr DWORD kManagerAccess = STANDARD_RIGHTS_READ | SC_MANAGER_ENUMERATE_SERVICE | SC_MANAGER_CONNECT;
constexpr DWORD kServiceAccess = SERVICE_STOP | SERVICE_ENUMERATE_DEPENDENTS | SERVICE_QUERY_STATUS;

} // namespace

DWORD GetServicePollInterval(DWORD waitHint)
{
    return std::min<DWORD>(std::max<DWORD>(waitHint / 10, 1000), 10000);
}

bool CServiceManager::OpenManager()
{
    m_manager.Reset(::OpenSCManagerA(nullptr, nullptr, kManagerAccess));
    return m_manager.IsValid();
}

bool CServiceManager::FindServiceByProcessId(DWORD processId, char* name, DWORD size)
{
    if (!m_manager || !name || size == 0)
    {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    // Not in every ADVAPI32: looked up, not linked.
    const HMODULE advapi = ::GetModuleHandleA("ADVAPI32.DLL");
    if (!advapi)
        return false;
    EnumServicesStatusExProc enumServices = nullptr;
    if (!ResolveExport(advapi, "EnumServicesStatusExA", enumServices))
    {
        ::SetLastError(ERROR_NOT_SUPPORTED);
        return false;
    }

    DWORD needed = 0;
    DWORD count = 0;
    DWORD resume = 0;
    if (!enumServices(m_manager.Get(), SC_ENUM_PROCESS_INFO, SERVICE_WIN32, SERVICE_ACTIVE, nullptr,
                      0, &needed, &count, &resume, nullptr))
    {
        if (::GetLastError() != ERROR_MORE_DATA)
            return false;
    }
    if (needed == 0)
    {
        ::SetLastError(ERROR_FILE_NOT_FOUND);
        return false;
    }
    const DWORD bufferSize = needed;
    const std::unique_ptr<BYTE[]> buffer = AllocateBuffer<BYTE>(bufferSize);
    if (!buffer)
        return false;
    resume = 0;
    count = 0;
    if (!enumServices(m_manager.Get(), SC_ENUM_PROCESS_INFO, SERVICE_WIN32, SERVICE_ACTIVE,
                      buffer.get(), bufferSize, &needed, &count, &resume, nullptr))
        return false;

    const auto* services = reinterpret_cast<const ENUM_SERVICE_STATUS_PROCESSA*>(buffer.get());
    count = std::min<DWORD>(count, bufferSize / sizeof(ENUM_SERVICE_STATUS_PROCESSA));
    for (DWORD i = 0; i < count; ++i)
    {
        if (services[i].ServiceStatusProcess.dwProcessId != processId)
            continue;
        // Only the first service of a shared process is stopped.
        if (!services[i].lpServiceName || !CopyToBuffer(services[i].lpServiceName, name, size))
        {
            ::SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return false;
        }
        return true;
    }
    ::SetLastError(ERROR_FILE_NOT_FOUND);
    return false;
}

bool CServiceManager::StopService(const std::string& name, DWORD timeoutMs)
{
    if (!m_manager)
    {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    CServiceHandle service(::OpenServiceA(m_manager.Get(), name.c_str(), kServiceAccess));
    if (!service)
        return false;
    SERVICE_STATUS status{};
    if (!::QueryServiceStatus(service.Get(), &status))
        return false;
    if (IsStopping(status))
        return WaitForServiceState(service.Get(), SERVICE_STOP_PENDING, SERVICE_STOPPED, timeoutMs);

    // A dependent that comes back at once would keep this loop going: the
    // request is repeated a few times only.
    for (int retries = 0;; ++retries)
    {
        if (SendStop(service.Get()))
            return WaitForServiceState(service.Get(), SERVICE_STOP_PENDING, SERVICE_STOPPED, timeoutMs);
        const DWORD error = ::GetLastError();
        if (error != ERROR_DEPENDENT_SERVICES_RUNNING)
        {
            // A service whose process ends as soon as it reports stopped can
            // take the reply with it (broken pipe): its state tells.
            if (::QueryServiceStatus(service.Get(), &status) && IsStopping(status))
                return WaitForServiceState(service.Get(), SERVICE_STOP_PENDING, SERVICE_STOPPED, timeoutMs);
            ::SetLastError(error);
            return false;
        }
        if (retries == kStopRetries)
        {
            ::SetLastError(ERROR_DEPENDENT_SERVICES_RUNNING);
            return false;
        }
        if (!StopDependentServices(service.Get(), timeoutMs))
            return false;
    }
}

bool CServiceManager::StopDependentServices(SC_HANDLE service, DWORD timeoutMs)
{
    if (!m_manager || !service)
    {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    std::vector<std::string> dependents;
    if (!ReadActiveDependents(service, dependents))
        return false;
    for (const std::string& name : dependents)
    {
        // Their own dependents are stopped on the way down.
        if (!StopService(name, timeoutMs))
            return false;
    }
    return true;
}

bool CServiceManager::SendStop(SC_HANDLE service)
{
    SERVICE_STATUS status{};
    return ::ControlService(service, SERVICE_CONTROL_STOP, &status) != FALSE;
}

bool CServiceManager::ReadActiveDependents(SC_HANDLE service, std::vector<std::string>& names)
{
    names.clear();
    DWORD needed = 0;
    DWORD count = 0;
    if (::EnumDependentServicesA(service, SERVICE_ACTIVE, nullptr, 0, &needed, &count))
        return true; // none running
    if (::GetLastError() != ERROR_MORE_DATA)
        return false;
    const DWORD bufferSize = needed;
    const std::unique_ptr<BYTE[]> buffer = AllocateBuffer<BYTE>(bufferSize);
    if (!buffer)
        return false;
    auto* dependents = reinterpret_cast<ENUM_SERVICE_STATUSA*>(buffer.get());
    if (!::EnumDependentServicesA(service, SERVICE_ACTIVE, dependents, bufferSize, &needed, &count))
        return false;
    count = std::min<DWORD>(count, bufferSize / sizeof(ENUM_SERVICE_STATUSA));
    try
    {
        for (DWORD i = 0; i < count; ++i)
        {
            if (dependents[i].lpServiceName)
                names.emplace_back(dependents[i].lpServiceName);
        }
    }
    catch (const std::bad_alloc&)
    {
        ::SetLastError(ERROR_OUTOFMEMORY);
        return false;
    }
    return true;
}

bool CServiceManager::WaitForServiceState(SC_HANDLE service, DWORD pending, DWORD desired,
                                          DWORD timeoutMs)
{
    if (!service)
    {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    SERVICE_STATUS status{};
    if (!::QueryServiceStatus(service, &status))
        return false;
    if (status.dwCurrentState == desired)
        return true;

    const DWORD start = ::GetTickCount();
    DWORD pendingError = ERROR_INVALID_STATE;
    while (status.dwCurrentState == pending)
    {
        ::Sleep(GetServicePollInterval(status.dwWaitHint));
        SERVICE_STATUS next{};
        if (!::QueryServiceStatus(service, &next))
        {
            pendingError = ::GetLastError();
            break;
        }
        status = next;
        if (::GetTickCount() - start > timeoutMs)
        {
            pendingError = ERROR_TIMEOUT;
            break;
        }
    }
    if (status.dwCurrentState == desired)
        return true;
    ::SetLastError(pendingError);
    return false;
}
