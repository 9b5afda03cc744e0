// The processes whose handles are never closed.
#include "inspect/HandleRelease.h"

#include <gtest/gtest.h>

namespace
{

TEST(IsCriticalProcess, TheSystemsOwnByIdOrName)
{
    for (const DWORD id : {0u, 4u, 8u})
        EXPECT_TRUE(IsCriticalProcess(id, "C:\\x\\tool.exe")) << id;
    for (const char* image : {"C:\\WINDOWS\\system32\\CSRSS.EXE", "smss.exe", "C:\\w\\wininit.exe",
                              "services.exe", "C:\\w\\Lsass.exe", "winlogon.exe", ""})
        EXPECT_TRUE(IsCriticalProcess(1234, image)) << image;
    for (const char* image : {"C:\\w\\explorer.exe", "C:\\csrss.exe\\tool.exe", "C:\\w\\csrss.exe.bak"})
        EXPECT_FALSE(IsCriticalProcess(1234, image)) << image;
}

} // namespace
