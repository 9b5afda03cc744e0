// The "Sélectionner..." button of the select page: its menu under the
// button, the open-file dialog and the folder browser behind it.
#include "resources/orvgui/resource.h"
#include "tests/gui/GuiDriver.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <commctrl.h>

namespace
{

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

// How many items the open-file dialog lists in the folder it shows.
LRESULT CountListedItems(HWND dialog)
{
    const HWND view = ::FindWindowExA(dialog, nullptr, "SHELLDLL_DefView", nullptr);
    const HWND list = view ? ::FindWindowExA(view, nullptr, WC_LISTVIEWA, nullptr) : nullptr;
    return list ? ::SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) : -1;
}

// Opens the menu and picks one of its commands by its mnemonic.
::testing::AssertionResult PickFromMenu(const CWizardProcess& wizard, char mnemonic)
{
    if (!wizard.ClickPageItem(IDC_SELECT_BROWSE))
        return ::testing::AssertionFailure() << "the browse button cannot be clicked";
    const HWND menu = wizard.WaitForWindow("#32768");
    if (!menu)
        return ::testing::AssertionFailure() << "no menu opened";
    RECT menuRect{};
    RECT buttonRect{};
    ::GetWindowRect(menu, &menuRect);
    ::GetWindowRect(wizard.GetPageItem(IDC_SELECT_BROWSE), &buttonRect);
    EXPECT_EQ(buttonRect.left, menuRect.left);
    EXPECT_EQ(buttonRect.bottom, menuRect.top);
    ::PostMessageA(menu, WM_CHAR, static_cast<WPARAM>(mnemonic), 0);
    return ::testing::AssertionSuccess();
}

TEST(SelectMenu, FileDialogAndFolderBrowser)
{
    CScratchDir dir;
    const std::string file = dir.File("chosen.txt", "c");
    CWizardProcess wizard;
    ASSERT_TRUE(ShowsSelectPage(wizard));

    // "un &Fichier": the open-file dialog with the program's filter.
    ASSERT_TRUE(PickFromMenu(wizard, 'f'));
    const HWND open = wizard.WaitForWindow("#32770");
    ASSERT_NE(nullptr, open);
    EXPECT_TRUE(HasChildText(open, "Tous les fichiers (*.*)"));
    TakeScreenshot("376-select-open-file");
    const HWND name = ::GetDlgItem(open, 0x47c) ? ::GetDlgItem(open, 0x47c) : ::GetDlgItem(open, 0x480);
    // Into the file's folder first, as a user browses to it: the dialog
    // moves the program's current folder there.
    ::SendMessageA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(dir.Path().c_str()));
    ::PostMessageA(open, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    EXPECT_TRUE(WaitUntil([&] { return CountListedItems(open) == 1; }, 10000));
    ::SendMessageA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("chosen.txt"));
    ::PostMessageA(open, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    EXPECT_TRUE(WaitUntil([&] { return wizard.GetPageItemText(IDC_SELECT_PATH) == file; }, 10000));

    // "un &Dossier": the folder browser with its title; cancelled, nothing
    // changes.
    ASSERT_TRUE(PickFromMenu(wizard, 'd'));
    const HWND browser = wizard.WaitForWindow("#32770");
    ASSERT_NE(nullptr, browser);
    EXPECT_TRUE(HasChildText(browser, Ansi("Sélection du dossier de destination")));
    TakeScreenshot("376-select-folder");
    ::PostMessageA(browser, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(browser); }, 10000));
    wizard.Settle();
    EXPECT_EQ(file, wizard.GetPageItemText(IDC_SELECT_PATH));

    // The dialog left the program standing where it stood: the chosen
    // file's folder is a source.
    ASSERT_TRUE(SubmitPath(wizard, dir.Path(), IDD_FOLDER_ACTION));
    ASSERT_TRUE(wizard.Press(IDCANCEL));
    EXPECT_TRUE(wizard.WaitForExit());
}

} // namespace
