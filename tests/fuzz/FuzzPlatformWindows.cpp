#include "tests/fuzz/Fuzz.h"
#include "tests/fuzz/FuzzPlatform.h"
#include "tests/support/GuardedBytes.h"

#include <windows.h>

#include <mbctype.h>

#include <csignal>
#include <cstdio>
#include <exception>

namespace
{

void (*g_report)(const char* what) = nullptr;
void (*g_check)() = nullptr;

std::string DescribeException(const EXCEPTION_RECORD& record)
{
    char text[256];
    if (record.ExceptionCode == EXCEPTION_ACCESS_VIOLATION && record.NumberParameters >= 2)
    {
        const ULONG_PTR kind = record.ExceptionInformation[0];
        const void* address = reinterpret_cast<const void*>(record.ExceptionInformation[1]);
        const char* verb = kind == 1 ? "writing" : kind == 8 ? "running" : "reading";
        long long distance = 0;
        if (CGuardedBytes::FindGuard(address, distance))
        {
            if (distance >= 0)
                std::snprintf(text, sizeof(text), "access violation %s byte %lld past the end of the input",
                              verb, distance);
            else
                std::snprintf(text, sizeof(text), "access violation %s byte %lld before the start of the input",
                              verb, -distance);
        }
        else
            std::snprintf(text, sizeof(text), "access violation %s %p", verb, address);
    }
    else
        std::snprintf(text, sizeof(text), "exception 0x%08lX at %p",
                      static_cast<unsigned long>(record.ExceptionCode), record.ExceptionAddress);
    return text;
}

LONG WINAPI OnUnhandledException(EXCEPTION_POINTERS* pointers)
{
    const std::string what = DescribeException(*pointers->ExceptionRecord);
    if (g_report)
        g_report(what.c_str());
    return EXCEPTION_EXECUTE_HANDLER;
}

void OnTerminate()
{
    if (g_report)
        g_report("std::terminate (an exception left a function that may not throw)");
    FuzzExit(1);
}

void OnAbort(int)
{
    if (g_report)
        g_report("abort");
    FuzzExit(1);
}

DWORD WINAPI Watchdog(void*)
{
    for (;;)
    {
        ::Sleep(100);
        g_check();
    }
}

} // namespace

unsigned long long FuzzMilliseconds()
{
    return ::GetTickCount();
}

void FuzzWrite(const std::string& text)
{
    DWORD written = 0;
    ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()), &written,
                nullptr);
}

void FuzzOnFault(void (*report)(const char* what))
{
    g_report = report;
    // No dialog may wait for an answer that never comes.
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    ::SetUnhandledExceptionFilter(OnUnhandledException);
    std::set_terminate(OnTerminate);
    std::signal(SIGABRT, OnAbort);
}

void FuzzStartWatchdog(void (*check)())
{
    g_check = check;
    const HANDLE thread = ::CreateThread(nullptr, 0, Watchdog, nullptr, 0, nullptr);
    if (thread)
        ::CloseHandle(thread);
}

void FuzzExit(int code)
{
    std::fflush(nullptr);
    ::TerminateProcess(::GetCurrentProcess(), static_cast<UINT>(code));
    for (;;)
        ::Sleep(INFINITE);
}

void SetMultibyteCodePage(unsigned codePage)
{
    _setmbcp(codePage ? static_cast<int>(codePage) : _MB_CP_ANSI);
}
