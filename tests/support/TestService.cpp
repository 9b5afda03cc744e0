// orvservice NAME MODE [PARTNER]: a Win32 service that the service control
// tests install under NAME. How it answers a stop request:
//   normal          it stops at once
//   stuck           it stays stop pending until it is killed
//   relay PARTNER   it starts the service PARTNER, then stops: a dependent
//                   that comes back as soon as it was stopped
#include <windows.h>

#include <cstring>
#include <string>

namespace
{

std::string g_name;
std::string g_mode;
std::string g_partner;
SERVICE_STATUS_HANDLE g_statusHandle = nullptr;
SERVICE_STATUS g_status{};
HANDLE g_stopped = nullptr;

void Report(DWORD state, DWORD waitHint)
{
    g_status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    g_status.dwCurrentState = state;
    g_status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
    g_status.dwWin32ExitCode = NO_ERROR;
    g_status.dwWaitHint = waitHint;
    ++g_status.dwCheckPoint;
    ::SetServiceStatus(g_statusHandle, &g_status);
}

DWORD WINAPI RelayAndStop(void*)
{
    const SC_HANDLE manager = ::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (manager)
    {
        const SC_HANDLE partner = ::OpenServiceA(manager, g_partner.c_str(), SERVICE_START);
        if (partner)
        {
            ::StartServiceA(partner, 0, nullptr);
            ::CloseServiceHandle(partner);
        }
        ::CloseServiceHandle(manager);
    }
    Report(SERVICE_STOPPED, 0);
    ::SetEvent(g_stopped);
    return 0;
}

DWORD WINAPI Handler(DWORD control, DWORD, void*, void*)
{
    if (control != SERVICE_CONTROL_STOP)
        return control == SERVICE_CONTROL_INTERROGATE ? NO_ERROR : ERROR_CALL_NOT_IMPLEMENTED;
    if (g_mode == "stuck")
    {
        Report(SERVICE_STOP_PENDING, 3000);
    }
    else if (g_mode == "relay")
    {
        Report(SERVICE_STOP_PENDING, 1000);
        const HANDLE thread = ::CreateThread(nullptr, 0, RelayAndStop, nullptr, 0, nullptr);
        if (thread)
            ::CloseHandle(thread);
    }
    else
    {
        Report(SERVICE_STOPPED, 0);
        ::SetEvent(g_stopped);
    }
    return NO_ERROR;
}

void WINAPI ServiceMain(DWORD, LPSTR*)
{
    g_statusHandle = ::RegisterServiceCtrlHandlerExA(g_name.c_str(), Handler, nullptr);
    if (!g_statusHandle)
        return;
    Report(SERVICE_RUNNING, 0);
    ::WaitForSingleObject(g_stopped, INFINITE);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
        return 2;
    g_name = argv[1];
    g_mode = argv[2];
    if (argc > 3)
        g_partner = argv[3];
    g_stopped = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    SERVICE_TABLE_ENTRYA table[] = {{&g_name[0], ServiceMain}, {nullptr, nullptr}};
    return ::StartServiceCtrlDispatcherA(table) ? 0 : 1;
}
