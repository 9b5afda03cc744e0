// The 9x method: processes found through the toolhelp snapshots, and their
// ids in hexadecimal on the process list.
#include "engine/SystemServices.h"
#include "engine/Text.h"
#include "inspect/ProcessListCtrl.h"
#include "inspect/ProcessManager.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

namespace
{

TEST(ProcessesW98, ToolhelpFindsTheHolderAndTheListShowsHexIds)
{
    ASSERT_FALSE(IsWindowsNT());
    const std::string dll = GetBinPath("orvfixture.dll");
    CHolder holder(CHolder::Load, dll);
    CHolder reader(CHolder::Open, dll);
    ASSERT_TRUE(holder.IsHolding() && reader.IsHolding());

    CProcessList records;
    CProcessManager manager;
    ::SetLastError(0xdeadbeef);
    ASSERT_TRUE(manager.EnumerateProcesses(dll, records)) << ::GetLastError();
    ASSERT_EQ(1u, records.size());
    EXPECT_EQ(holder.GetProcessId(), records[0]->GetProcessId());
    EXPECT_TRUE(IsSameText("orvholder.exe", records[0]->GetImageName())) << records[0]->GetImagePath();
    EXPECT_FALSE(records[0]->IsService());

    // The list as the process page shows it.
    ::InitCommonControls();
    const HWND window = ::CreateWindowExA(0, WC_LISTVIEWA, "", WS_POPUP | LVS_REPORT, 0, 0, 400, 200,
                                          nullptr, nullptr, ::GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(nullptr, window);
    {
        CProcessListCtrl list;
        ASSERT_TRUE(list.SubclassWindow(window));
        EXPECT_EQ(3, list.GetColumnCount());
        list.FillList(dll);
        ASSERT_EQ(1, list.GetItemCount());
        EXPECT_EQ(FormatText("%lx", static_cast<unsigned long>(holder.GetProcessId())),
                  list.GetItemText(0, 1));
    }
    ::DestroyWindow(window);
}

} // namespace
