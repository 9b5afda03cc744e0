// The module scan of a 64-bit program on 32-bit holders, with the module
// listing of Windows standing in for Wine's: there, the plain call from a
// 64-bit process lists only the 64-bit modules of a 32-bit one (its
// executable among them), and only the call with a filter, or before Vista a
// Toolhelp snapshot that asks for them, lists its 32-bit DLLs. (Wine lists
// them all, and takes no module snapshot of a 32-bit process.)
#include "engine/Handles.h"
#include "engine/Text.h"
#include "inspect/ModuleScan.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{

using EnumProcessModulesProc = BOOL(WINAPI*)(HANDLE, HMODULE*, DWORD, DWORD*);
using EnumProcessModulesExProc = BOOL(WINAPI*)(HANDLE, HMODULE*, DWORD, DWORD*, DWORD);

EnumProcessModulesProc g_realPlain = nullptr;
EnumProcessModulesExProc g_realFiltered = nullptr;

// EnumProcessModules as Windows answers a 64-bit caller: of a 32-bit
// process, the executable only (the 64-bit system modules are of no use here).
BOOL WINAPI PlainAsOnWindows(HANDLE process, HMODULE* modules, DWORD bytes, DWORD* needed)
{
    if (!g_realPlain(process, modules, bytes, needed))
        return FALSE;
    using IsWow64ProcessProc = BOOL(WINAPI*)(HANDLE, PBOOL);
    IsWow64ProcessProc isWow64 = nullptr;
    BOOL wow64 = FALSE;
    if (ResolveExport(::GetModuleHandleA("kernel32.dll"), "IsWow64Process", isWow64) && isWow64(process, &wow64) &&
        wow64 && *needed > sizeof(HMODULE))
        *needed = sizeof(HMODULE);
    return TRUE;
}

using GetModuleFileNameExProc = DWORD(WINAPI*)(HANDLE, HMODULE, LPSTR, DWORD);
GetModuleFileNameExProc g_moduleFileName = nullptr;
std::vector<std::string> g_snapshot;
std::size_t g_nextModule = 0;

// A module snapshot as Windows takes it for a 64-bit caller: the 32-bit
// modules of a 32-bit process only with TH32CS_SNAPMODULE32.
HANDLE WINAPI SnapshotAsOnWindows(DWORD flags, DWORD processId)
{
    g_snapshot.clear();
    CHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId));
    HMODULE modules[256] = {};
    DWORD needed = 0;
    if (!process || !g_realFiltered(process.Get(), modules, sizeof(modules), &needed, 3 /* all */))
        return INVALID_HANDLE_VALUE;
    for (DWORD i = 0; i < needed / sizeof(HMODULE) && i < 256 && (i == 0 || (flags & 0x10)); ++i)
    {
        char path[MAX_PATH] = {};
        if (g_moduleFileName(process.Get(), modules[i], path, MAX_PATH))
            g_snapshot.push_back(path);
    }
    return ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
}

BOOL WINAPI NextModule(HANDLE, MODULEENTRY32* module)
{
    if (g_nextModule >= g_snapshot.size())
    {
        ::SetLastError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    CopyToBuffer(g_snapshot[g_nextModule++], module->szExePath);
    return TRUE;
}

BOOL WINAPI FirstModule(HANDLE snapshot, MODULEENTRY32* module)
{
    g_nextModule = 0;
    return NextModule(snapshot, module);
}

class CWindowsModuleScan : public CModuleScan
{
public:
    // filtered: whether the system has EnumProcessModulesEx (Vista and later).
    bool StandIn(bool filtered)
    {
        CModule psapi(::LoadLibraryA("PSAPI.DLL"));
        return psapi && ResolveExport(psapi.Get(), "EnumProcessModules", g_realPlain) &&
               ResolveExport(psapi.Get(), "EnumProcessModulesEx", g_realFiltered) &&
               ResolveExport(psapi.Get(), "GetModuleFileNameExA", g_moduleFileName) &&
               ReplaceModuleListing(PlainAsOnWindows, filtered ? g_realFiltered : nullptr) &&
               ReplaceToolhelp(SnapshotAsOnWindows, FirstModule, NextModule);
    }
};

} // namespace

TEST(Wow64ModuleScan, The32BitDllOfA32BitHolder)
{
    CScratchDir dir;
    const std::string dll = dir / "m32.dll";
    ASSERT_TRUE(::CopyFileA(GetHelper32Path("orvfixture.dll").c_str(), dll.c_str(), FALSE)) << ::GetLastError();
    CHolder holder(CHolder::Load, dll, GetHelper32Path("orvholder.exe"));
    ASSERT_TRUE(holder.IsHolding());

    for (const bool filtered : {true, false})
    {
        SCOPED_TRACE(filtered ? "EnumProcessModulesEx" : "Toolhelp, before Vista");
        CWindowsModuleScan scan;
        ASSERT_TRUE(scan.StandIn(filtered));
        CHolderList holders;
        SetLastError(0xdeadbeef);
        ASSERT_TRUE(scan.ScanModules(dll, holders)) << GetLastError();
        ASSERT_EQ(1u, holders.size());
        EXPECT_EQ(holder.GetProcessId(), holders[0].processId);
        EXPECT_TRUE(IsSameText(GetHelper32Path("orvholder.exe"), holders[0].imagePath)) << holders[0].imagePath;
    }
}
