// What the runner of generated inputs needs of the system it runs on:
// Windows (under Wine), or Linux for the parsers built natively under the
// sanitizers.
#pragma once

#include <string>

unsigned long long FuzzMilliseconds();

// Straight to the standard output, unbuffered: also from a fault.
void FuzzWrite(const std::string& text);

// `report` gets a fault's description (an access violation, a sanitizer's
// finding) before the process ends with failure.
void FuzzOnFault(void (*report)(const char* what));

// Calls `check` every 100 ms from a thread of its own.
void FuzzStartWatchdog(void (*check)());

[[noreturn]] void FuzzExit(int code);
