// The fuzz runner on Linux: a fault told by the sanitizers' death callback
// or a signal handler, a watchdog thread.
#include "tests/fuzz/FuzzPlatform.h"
#include "tests/support/GuardedBytes.h"

#include <sanitizer/common_interface_defs.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <thread>

namespace
{

void (*g_report)(const char* what) = nullptr;

void OnSanitizerDeath()
{
    if (g_report)
        g_report("a sanitizer's finding (its report is above)");
}

void OnSignal(int signal, siginfo_t* info, void*)
{
    char what[160];
    long long distance = 0;
    if ((signal == SIGSEGV || signal == SIGBUS) && CGuardedBytes::FindGuard(info->si_addr, distance))
    {
        if (distance >= 0)
            std::snprintf(what, sizeof(what), "access violation at byte %lld past the end of the input", distance);
        else
            std::snprintf(what, sizeof(what), "access violation at byte %lld before the start of the input", -distance);
    }
    else
        std::snprintf(what, sizeof(what), "signal %d at %p", signal, info->si_addr);
    if (g_report)
        g_report(what);
    _exit(1);
}

} // namespace

// The sanitizers end the process at their first finding, which the death
// callback reports; a fault on a guard page is left to our own handler.
extern "C" const char* __asan_default_options()
{
    return "handle_segv=0:handle_sigbus=0:allow_user_segv_handler=1:detect_leaks=0";
}

unsigned long long FuzzMilliseconds()
{
    timespec now = {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<unsigned long long>(now.tv_sec) * 1000 + static_cast<unsigned long long>(now.tv_nsec) / 1000000;
}

void FuzzWrite(const std::string& text)
{
    for (std::size_t done = 0; done < text.size();)
    {
        const ssize_t written = write(1, text.data() + done, text.size() - done);
        if (written <= 0)
            return;
        done += static_cast<std::size_t>(written);
    }
}

void FuzzOnFault(void (*report)(const char* what))
{
    g_report = report;
    __sanitizer_set_death_callback(OnSanitizerDeath);
    struct sigaction action = {};
    action.sa_sigaction = OnSignal;
    action.sa_flags = SA_SIGINFO;
    for (const int signal : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT})
        sigaction(signal, &action, nullptr);
}

void FuzzStartWatchdog(void (*check)())
{
    std::thread([check] {
        for (;;)
        {
            usleep(100000);
            check();
        }
    }).detach();
}

void FuzzExit(int code)
{
    _exit(code);
}
