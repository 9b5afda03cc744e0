// The welcome page's context-menu button, whose text tells what the
// registry holds, and the about box.
#include "engine/Handles.h"
#include "resources/orvgui/resource.h"
#include "tests/gui/GuiDriver.h"
#include "tests/support/TestSupport.h"
#include "wizard/ContextMenu.h"

#include <gtest/gtest.h>

#include <shlwapi.h>

namespace
{

const char kInstallText[] = "+ &Contextuel";
const char kRemoveText[] = "- Con&textuel";
const char kOtherVerbKey[] = "AllFileSystemObjects\\Shell\\OtherTool";

bool WriteCommand(const char* subKey, const std::string& text)
{
    return WriteRegistryString(HKEY_CLASSES_ROOT, subKey, nullptr, text);
}

// The command of the context-menu entry; "<missing>" without one.
std::string ReadCommand()
{
    std::string bytes;
    return ReadRegistryValue(HKEY_CLASSES_ROOT, kContextMenuCommandKey, nullptr, bytes) ? bytes.c_str()
                                                                                          : "<missing>";
}

class WelcomePage : public ::testing::Test
{
protected:
    void SetUp() override { ::SHDeleteKeyA(HKEY_CLASSES_ROOT, kContextMenuShellKey); }
    void TearDown() override { ::SHDeleteKeyA(HKEY_CLASSES_ROOT, kContextMenuShellKey); }

    // Clicks the context-menu button and answers its question.
    static ::testing::AssertionResult Toggle(CWizardProcess& wizard, const std::string& question, int answer)
    {
        if (!wizard.ClickPageItem(IDC_CONTEXT_MENU))
            return ::testing::AssertionFailure() << "the context-menu button cannot be clicked";
        return ExpectMessage(wizard, question, EBoxIcon::Question, true, answer);
    }
};

TEST_F(WelcomePage, ContextMenuButtonFollowsTheRegistry)
{
    const std::string ours = "\"" + GetBinPath("orvgui.exe") + "\" \"%1\"";
    const std::string installQuestion = Ansi("Voulez-vous activer la prise en charge par le menu contextuel?");
    const std::string removeQuestion = Ansi("Voulez-vous désactiver la prise en charge par le menu contextuel?");

    // Another copy's entry, and another program's verb beside it.
    const std::string otherCopy = "\"C:\\Autre\\orvgui.exe\" \"%1\"";
    ASSERT_TRUE(WriteCommand(kContextMenuCommandKey, otherCopy));
    ASSERT_TRUE(WriteCommand(kOtherVerbKey, "Other"));

    CWizardProcess wizard;
    ASSERT_TRUE(ShowsWelcome(wizard));
    EXPECT_EQ(kInstallText, wizard.GetPageItemText(IDC_CONTEXT_MENU));

    ASSERT_TRUE(Toggle(wizard, installQuestion, IDNO));
    EXPECT_EQ(kInstallText, wizard.GetPageItemText(IDC_CONTEXT_MENU));
    EXPECT_EQ(otherCopy, ReadCommand());

    ASSERT_TRUE(Toggle(wizard, installQuestion, IDYES));
    EXPECT_EQ(kRemoveText, wizard.GetPageItemText(IDC_CONTEXT_MENU));
    EXPECT_EQ(ours, ReadCommand());
    TakeScreenshot("365-welcome-menu-installed");

    ASSERT_TRUE(Toggle(wizard, removeQuestion, IDNO));
    EXPECT_EQ(kRemoveText, wizard.GetPageItemText(IDC_CONTEXT_MENU));

    ASSERT_TRUE(Toggle(wizard, removeQuestion, IDYES));
    EXPECT_EQ(kInstallText, wizard.GetPageItemText(IDC_CONTEXT_MENU));
    EXPECT_EQ("<missing>", ReadCommand());
    CRegKey other;
    EXPECT_EQ(ERROR_SUCCESS, ::RegOpenKeyExA(HKEY_CLASSES_ROOT, kOtherVerbKey, 0, KEY_READ, other.Receive()));

    ASSERT_TRUE(wizard.Press(IDCANCEL));
    EXPECT_TRUE(wizard.WaitForExit());
}

TEST_F(WelcomePage, EntryWrittenAtStartShowsTheRemoveText)
{
    ASSERT_TRUE(WriteCommand(kContextMenuCommandKey, "\"" + GetBinPath("orvgui.exe") + "\" \"%1\""));
    CWizardProcess wizard;
    ASSERT_TRUE(ShowsWelcome(wizard));
    EXPECT_EQ(kRemoveText, wizard.GetPageItemText(IDC_CONTEXT_MENU));
    ASSERT_TRUE(wizard.Press(IDCANCEL));
    EXPECT_TRUE(wizard.WaitForExit());
}

TEST_F(WelcomePage, AboutBoxShowsTheProgramVersion)
{
    CWizardProcess wizard;
    ASSERT_TRUE(ShowsWelcome(wizard));
    ASSERT_TRUE(wizard.ClickPageItem(IDC_ABOUT));
    const HWND about = wizard.WaitForDialog("A Propos de Orvane...");
    ASSERT_NE(nullptr, about);
    EXPECT_EQ("Version: 1.00 (build 0.0)", GetText(::GetDlgItem(about, IDC_ABOUT_VERSION)));
    EXPECT_EQ("Copyright (C) 2026 Hadrel", GetText(::GetDlgItem(about, IDC_ABOUT_COPYRIGHT)));
    EXPECT_EQ("Orvane", GetText(::GetDlgItem(about, IDC_ABOUT_TITLE)));
    // Over the middle of the wizard.
    EXPECT_LE(GetCentreDistance(about, wizard.GetSheet()), 1);
    TakeScreenshot("135-about");

    // OK closes the box; the wizard stays on its page.
    ::PostMessageA(about, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(about, IDOK)));
    EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(about); }, 5000));
    EXPECT_TRUE(wizard.WaitForPage(IDD_WELCOME));
    ASSERT_TRUE(wizard.Press(IDCANCEL));
    EXPECT_TRUE(wizard.WaitForExit());
}

} // namespace
