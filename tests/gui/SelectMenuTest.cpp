// The "Sélectionner..." button of the select page: its menu under the
// button, the open-file dialog and the folder browser behind it.
#include "GuiDriver.h"
#include "TestSupport.h"
#include "resource.h"

#include <gtest/gtest.h>

namespace
{

struct SWindowSearch
{
    DWORD processId;
    const char* className;
    HWND except;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND hwnd, LPARAM lParam)
{
    auto* search = reinterpret_cast<SWindowSearch*>(lParam);
    DWORD processId = 0;
    ::GetWindowThreadProcessId(hwnd, &processId);
    char name[64] = {};
    ::GetClassNameA(hwnd, name, sizeof(name));
    if (processId != search->processId || hwnd == search->except || !::IsWindowVisible(hwnd) ||
        lstrcmpA(name, search->className) != 0)
        return TRUE;
    search->found = hwnd;
    return FALSE;
}

// A visible top-level window of the wizard's process, other than the sheet.
HWND WaitForWindow(const CWizardProcess& wizard, const char* className)
{
    SWindowSearch search{0, className, wizard.GetSheet(), nullptr};
    ::GetWindowThreadProcessId(wizard.GetSheet(), &search.processId);
    WaitUntil(
        [&] {
            ::EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
            return search.found != nullptr;
        },
        10000);
    return search.found;
}

BOOL CALLBACK FindText(HWND hwnd, LPARAM lParam)
{
    auto* text = reinterpret_cast<std::string*>(lParam);
    if (GetText(hwnd) != *text)
        return TRUE;
    text->clear();
    return FALSE;
}

bool HasChildText(HWND parent, std::string text)
{
    ::EnumChildWindows(parent, FindText, reinterpret_cast<LPARAM>(&text));
    return text.empty();
}

// Opens the menu and picks one of its commands by its mnemonic.
void PickFromMenu(const CWizardProcess& wizard, char mnemonic)
{
    ASSERT_TRUE(wizard.ClickPageItem(IDC_SELECT_BROWSE));
    const HWND menu = WaitForWindow(wizard, "#32768");
    ASSERT_NE(nullptr, menu);
    RECT menuRect{};
    RECT buttonRect{};
    ::GetWindowRect(menu, &menuRect);
    ::GetWindowRect(wizard.GetPageItem(IDC_SELECT_BROWSE), &buttonRect);
    EXPECT_EQ(buttonRect.left, menuRect.left);
    EXPECT_EQ(buttonRect.bottom, menuRect.top);
    ::PostMessageA(menu, WM_CHAR, static_cast<WPARAM>(mnemonic), 0);
}

TEST(SelectMenu, FileDialogAndFolderBrowser)
{
    CScratchDir dir;
    const std::string file = dir.File("chosen.txt", "c");
    CWizardProcess wizard;
    ASSERT_NE(nullptr, wizard.WaitForSheet());
    ASSERT_TRUE(wizard.WaitForPage(IDD_WELCOME));
    ASSERT_TRUE(wizard.Press(kNextButton));
    ASSERT_TRUE(wizard.WaitForPage(IDD_SELECT));

    // "un &Fichier": the open-file dialog with the program's filter.
    PickFromMenu(wizard, 'f');
    const HWND open = WaitForWindow(wizard, "#32770");
    ASSERT_NE(nullptr, open);
    EXPECT_TRUE(HasChildText(open, "Tous les fichiers (*.*)"));
    TakeScreenshot("376-select-open-file");
    const HWND name = ::GetDlgItem(open, 0x47c) ? ::GetDlgItem(open, 0x47c) : ::GetDlgItem(open, 0x480);
    ::SendMessageA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(file.c_str()));
    ::PostMessageA(open, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    EXPECT_TRUE(WaitUntil([&] { return wizard.GetPageItemText(IDC_SELECT_PATH) == file; }, 10000));

    // "un &Dossier": the folder browser with its title; cancelled, nothing
    // changes.
    PickFromMenu(wizard, 'd');
    const HWND browser = WaitForWindow(wizard, "#32770");
    ASSERT_NE(nullptr, browser);
    EXPECT_TRUE(HasChildText(browser, Ansi("Sélection du dossier de destination")));
    TakeScreenshot("376-select-folder");
    ::PostMessageA(browser, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(browser); }, 10000));
    wizard.Settle();
    EXPECT_EQ(file, wizard.GetPageItemText(IDC_SELECT_PATH));

    ASSERT_TRUE(wizard.Press(IDCANCEL));
    EXPECT_TRUE(wizard.WaitForExit());
}

} // namespace
