// The process page where the system keeps no handle table (Windows 9x/Me):
// one line says so, and the processes that have the file loaded are listed.
#include "GuiDriver.h"
#include "SystemServices.h"
#include "TestSupport.h"
#include "Text.h"
#include "resource.h"

#include <gtest/gtest.h>

namespace
{

TEST(ProcessPageW98, OneLineSaysThatOnlyLoadedModulesAreFound)
{
    ASSERT_FALSE(IsWindowsNT());
    CScratchDir dir;
    const std::string dll = dir / "held.dll";
    ASSERT_TRUE(::CopyFileA(GetBinPath("orvfixture.dll").c_str(), dll.c_str(), FALSE));
    CHolder loader(CHolder::Load, dll);
    CHolder reader(CHolder::Open, dll);
    ASSERT_TRUE(loader.IsHolding() && reader.IsHolding());

    CWizardProcess wizard;
    ASSERT_NE(nullptr, wizard.WaitForSheet());
    ASSERT_TRUE(wizard.WaitForPage(IDD_WELCOME));
    ASSERT_TRUE(wizard.Press(kNextButton));
    ASSERT_TRUE(wizard.WaitForPage(IDD_SELECT));
    wizard.TypePageItem(IDC_SELECT_PATH, dll);
    ASSERT_TRUE(wizard.Press(kNextButton));
    ASSERT_TRUE(wizard.WaitForPage(IDD_FILE_ACTION));
    ASSERT_TRUE(wizard.ClickPageItem(IDC_FILE_DELETE));
    wizard.Settle();
    ASSERT_TRUE(wizard.Press(kNextButton));
    ASSERT_TRUE(wizard.WaitForPage(IDD_SUMMARY));
    const std::vector<STreeLine> tree = wizard.ReadTree(IDC_OPERATION_TREE);
    ASSERT_FALSE(tree.empty());
    ASSERT_TRUE(wizard.SelectTreeItem(IDC_OPERATION_TREE, tree[0].item));
    ASSERT_TRUE(wizard.ClickPageItem(IDC_SHOW_PROCESSES));
    ASSERT_TRUE(wizard.WaitForPage(IDD_PROCESSES));

    EXPECT_EQ(Ansi("Windows 9x/Me n'a pas de table des handles : modules chargés seulement."),
              wizard.GetPageItemText(IDC_PROCESS_NOTE));
    const HWND list = wizard.GetPageItem(IDC_PROCESS_LIST);
    ASSERT_EQ(1, GetListCount(list));
    EXPECT_EQ(FormatText("%lx", static_cast<unsigned long>(loader.GetProcessId())), GetListText(list, 0, 1));
    EXPECT_EQ(Ansi("n/a (chargé)"), GetListText(list, 0, 2));
    TakeScreenshot("process-page-9x");
}

} // namespace
