// The welcome page's context-menu button, whose text tells what the
// registry holds, and the about box.
#include "ContextMenu.h"
#include "GuiDriver.h"
#include "Handles.h"
#include "TestSupport.h"
#include "resource.h"

#include <gtest/gtest.h>

#include <shlwapi.h>

namespace
{

const char kInstallText[] = "+ &Contextuel";
const char kRemoveText[] = "- Con&textuel";
const char kOtherVerbKey[] = "AllFileSystemObjects\\Shell\\OtherTool";

void WriteCommand(const char* subKey, const std::string& text)
{
    CRegKey key;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExA(HKEY_CLASSES_ROOT, subKey, 0, nullptr, 0, KEY_WRITE,
                                               nullptr, key.Receive(), nullptr));
    ASSERT_EQ(ERROR_SUCCESS, ::RegSetValueExA(key.Get(), nullptr, 0, REG_SZ,
                                              reinterpret_cast<const BYTE*>(text.c_str()),
                                              static_cast<DWORD>(text.size() + 1)));
}

std::string ReadCommand()
{
    CRegKey key;
    if (::RegOpenKeyExA(HKEY_CLASSES_ROOT, kContextMenuCommandKey, 0, KEY_READ, key.Receive()) !=
        ERROR_SUCCESS)
        return "<missing>";
    char data[1024] = {};
    DWORD size = sizeof(data) - 1;
    if (::RegQueryValueExA(key.Get(), nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size) !=
        ERROR_SUCCESS)
        return "<missing>";
    return data;
}

class WelcomePage : public ::testing::Test
{
protected:
    void SetUp() override { ::SHDeleteKeyA(HKEY_CLASSES_ROOT, kContextMenuShellKey); }
    void TearDown() override { ::SHDeleteKeyA(HKEY_CLASSES_ROOT, kContextMenuShellKey); }

    static void Start(CWizardProcess& wizard)
    {
        ASSERT_TRUE(wizard.IsStarted());
        ASSERT_NE(nullptr, wizard.WaitForSheet());
        ASSERT_TRUE(wizard.WaitForPage(IDD_WELCOME));
    }

    // Clicks the context-menu button and answers its question.
    static void Toggle(CWizardProcess& wizard, const std::string& question, int answer)
    {
        ASSERT_TRUE(wizard.ClickPageItem(IDC_CONTEXT_MENU));
        SMessageBox box;
        ASSERT_TRUE(wizard.WaitForMessageBox(box));
        EXPECT_EQ(question, box.text);
        EXPECT_STREQ("question", IconName(box.icon));
        ASSERT_TRUE(wizard.Answer(box, answer));
    }
};

TEST_F(WelcomePage, ContextMenuButtonFollowsTheRegistry)
{
    const std::string ours = "\"" + GetBinPath("orvgui.exe") + "\" \"%1\"";
    const std::string installQuestion = Ansi("Voulez-vous activer la prise en charge par le menu contextuel?");
    const std::string removeQuestion = Ansi("Voulez-vous désactiver la prise en charge par le menu contextuel?");

    // Another copy's entry, and another program's verb beside it.
    const std::string otherCopy = "\"C:\\Autre\\orvgui.exe\" \"%1\"";
    WriteCommand(kContextMenuCommandKey, otherCopy);
    WriteCommand(kOtherVerbKey, "Other");

    CWizardProcess wizard;
    Start(wizard);
    EXPECT_EQ(kInstallText, wizard.GetPageItemText(IDC_CONTEXT_MENU));

    Toggle(wizard, installQuestion, IDNO);
    EXPECT_EQ(kInstallText, wizard.GetPageItemText(IDC_CONTEXT_MENU));
    EXPECT_EQ(otherCopy, ReadCommand());

    Toggle(wizard, installQuestion, IDYES);
    EXPECT_EQ(kRemoveText, wizard.GetPageItemText(IDC_CONTEXT_MENU));
    EXPECT_EQ(ours, ReadCommand());
    TakeScreenshot("365-welcome-menu-installed");

    Toggle(wizard, removeQuestion, IDNO);
    EXPECT_EQ(kRemoveText, wizard.GetPageItemText(IDC_CONTEXT_MENU));

    Toggle(wizard, removeQuestion, IDYES);
    EXPECT_EQ(kInstallText, wizard.GetPageItemText(IDC_CONTEXT_MENU));
    EXPECT_EQ("<missing>", ReadCommand());
    CRegKey other;
    EXPECT_EQ(ERROR_SUCCESS, ::RegOpenKeyExA(HKEY_CLASSES_ROOT, kOtherVerbKey, 0, KEY_READ, other.Receive()));

    ASSERT_TRUE(wizard.Press(IDCANCEL));
    EXPECT_TRUE(wizard.WaitForExit());
}

TEST_F(WelcomePage, EntryWrittenAtStartShowsTheRemoveText)
{
    WriteCommand(kContextMenuCommandKey, "\"" + GetBinPath("orvgui.exe") + "\" \"%1\"");
    CWizardProcess wizard;
    Start(wizard);
    EXPECT_EQ(kRemoveText, wizard.GetPageItemText(IDC_CONTEXT_MENU));
    ASSERT_TRUE(wizard.Press(IDCANCEL));
    EXPECT_TRUE(wizard.WaitForExit());
}

TEST_F(WelcomePage, AboutBoxShowsTheProgramVersion)
{
    CWizardProcess wizard;
    Start(wizard);
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
