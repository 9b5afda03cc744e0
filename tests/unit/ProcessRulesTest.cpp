// The rules of the process list: image paths as reported by the system,
// the orders of the columns, the "ID" text, the id buffer and the service
// polling interval.
#include "inspect/ModuleScan.h"
#include "inspect/NativePaths.h"
#include "inspect/Process.h"
#include "inspect/ProcessManager.h"
#include "inspect/ServiceManager.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{

std::string Environment(const char* name)
{
    char value[MAX_PATH] = {};
    const DWORD length = ::GetEnvironmentVariableA(name, value, MAX_PATH);
    return length > 0 && length < MAX_PATH ? value : std::string();
}

TEST(NormalizeImagePath, NativeFormsBecomePlainPaths)
{
    const std::string root = Environment("SystemRoot");
    ASSERT_FALSE(root.empty());
    const std::string longTail(250, 'x');
    const struct
    {
        std::string raw;
        std::string expected;
    } cases[] = {
        {"\\??\\C:\\X\\Y.EXE", "C:\\X\\Y.EXE"},
        {"\\SYSTEMROOT\\a.exe", root + "\\a.exe"},
        {"\\SystemRoot\\System32\\smss.exe", root + "\\System32\\smss.exe"},
        // Only the first prefix that matches is replaced.
        {"\\??\\\\SystemRoot\\b.exe", "\\SystemRoot\\b.exe"},
        {"\"C:\\Program Files\\p.exe\" ", "C:\\Program Files\\p.exe"},
        {"  \"C:\\q.exe\"", "C:\\q.exe"},
        {"C:\\%ORV_NOT_SET%\\r.exe", "C:\\%ORV_NOT_SET%\\r.exe"},
        {"C:\\plain.exe", "C:\\plain.exe"},
        {"\" \"", ""},
        {"", ""},
        // Too long once expanded: the unexpanded text stays.
        {"%SystemRoot%\\" + longTail, "%SystemRoot%\\" + longTail},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.expected, NormalizeImagePath(c.raw)) << c.raw;
}

TEST(ProcessList, ColumnOrders)
{
    const CProcess low(9, 0, "C:\\dir\\Zeta.exe", "alpha tool", false);
    const CProcess high(10, 0, "C:\\other\\beta.EXE", "Beta Tool", false);
    const CProcess huge(0x80000000u, 0, "C:\\ALPHA.exe", "", false);
    const struct
    {
        const CProcess& a;
        const CProcess& b;
        int column;
        int sign;
    } cases[] = {
        {low, high, 1, -1},   // ids as numbers, not as texts ("9" > "10")
        {huge, high, 1, 1},   // unsigned
        {low, low, 1, 0},
        {low, high, 2, -1},   // descriptions without case
        {huge, low, 2, -1},
        {low, high, 0, 1},    // image names, not paths
        {huge, high, 0, -1},
        {low, high, 7, 1},    // any other column: image name
    };
    for (const auto& c : cases)
    {
        const int result = CompareProcesses(c.a, c.b, c.column);
        EXPECT_EQ(c.sign, (result > 0) - (result < 0))
            << c.a.GetImageName() << " / " << c.b.GetImageName() << " column " << c.column;
    }
}

TEST(ProcessList, IdTextByFamily)
{
    EXPECT_EQ("255", FormatProcessId(255, true));
    EXPECT_EQ("ff", FormatProcessId(255, false));
    EXPECT_EQ("fffef00d", FormatProcessId(0xFFFEF00Du, false));
    EXPECT_EQ("4294897677", FormatProcessId(0xFFFEF00Du, true));
}

TEST(ProcessList, TaskIsNeverAService)
{
    const CProcess task(42, 7, "C:\\APP16.EXE", "", true);
    EXPECT_TRUE(task.IsTask());
    EXPECT_FALSE(task.IsService());
}

// A stand-in for EnumProcesses that knows `g_processCount` processes.
std::size_t g_processCount = 0;
std::vector<DWORD> g_bufferSizes;

BOOL WINAPI FakeEnumProcesses(DWORD* ids, DWORD bytes, DWORD* returned)
{
    g_bufferSizes.push_back(bytes);
    const std::size_t fits = bytes / sizeof(DWORD);
    const std::size_t count = g_processCount < fits ? g_processCount : fits;
    for (std::size_t i = 0; i < count; ++i)
        ids[i] = static_cast<DWORD>(4 * (i + 1));
    *returned = static_cast<DWORD>(count * sizeof(DWORD));
    return TRUE;
}

BOOL WINAPI FailingEnumProcesses(DWORD*, DWORD, DWORD*)
{
    ::SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
}

TEST(ProcessIds, BufferDoublesWhileFull)
{
    const struct
    {
        std::size_t processes;
        std::vector<DWORD> sizes;
    } cases[] = {
        {3, {1024}},
        {255, {1024}},
        {256, {1024, 2048}},  // exactly full: asked again
        {700, {1024, 2048, 4096}},
    };
    for (const auto& c : cases)
    {
        g_processCount = c.processes;
        g_bufferSizes.clear();
        std::vector<DWORD> ids;
        ASSERT_TRUE(ReadProcessIds(FakeEnumProcesses, ids)) << c.processes;
        EXPECT_EQ(c.sizes, g_bufferSizes) << c.processes;
        ASSERT_EQ(c.processes, ids.size());
        EXPECT_EQ(static_cast<DWORD>(4 * c.processes), ids.back());
    }

    std::vector<DWORD> ids;
    ::SetLastError(0xdeadbeef);
    EXPECT_FALSE(ReadProcessIds(FailingEnumProcesses, ids)) << ::GetLastError();
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), ::GetLastError());
}

TEST(ProcessIds, ModuleHandlesNeverPastTheArray)
{
    EXPECT_EQ(3u, CountModuleHandles(3 * sizeof(HMODULE), 1024));
    EXPECT_EQ(1024u, CountModuleHandles(1024 * sizeof(HMODULE), 1024));
    EXPECT_EQ(1024u, CountModuleHandles(5000 * sizeof(HMODULE), 1024));
    EXPECT_EQ(0u, CountModuleHandles(sizeof(HMODULE) - 1, 1024));
}

TEST(ServicePolling, WaitHintTenthWithinOneToTenSeconds)
{
    const struct
    {
        DWORD waitHint;
        DWORD interval;
    } cases[] = {{0, 1000}, {3000, 1000}, {10000, 1000}, {25000, 2500},
                 {100000, 10000}, {200000, 10000}, {0xFFFFFFFFu, 10000}};
    for (const auto& c : cases)
        EXPECT_EQ(c.interval, GetServicePollInterval(c.waitHint)) << c.waitHint;
}

} // namespace
