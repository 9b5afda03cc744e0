// The wizard sheet as a user sees it: pages, wizard buttons, messages, and
// the confirmation before leaving with operations in the list.
#include "resources/orvgui/resource.h"
#include "tests/gui/GuiDriver.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

namespace
{

class WizardFlow : public CQueueTest
{
protected:

    // Back, Next, Finish and Cancel as the user can press them ("BN-C"),
    // once the page's own button request has been handled.
    static std::string WaitForButtons(const CWizardProcess& wizard, const std::string& expected)
    {
        const auto buttons = [&] {
            std::string shown;
            shown += wizard.IsButtonEnabled(kBackButton) ? "B" : "-";
            shown += wizard.IsButtonEnabled(kNextButton) ? "N" : "-";
            shown += wizard.IsButtonEnabled(kFinishButton) ? "F" : "-";
            shown += wizard.IsButtonEnabled(IDCANCEL) ? "C" : "-";
            return shown;
        };
        WaitUntil([&] { return buttons() == expected; }, 2000);
        return buttons();
    }

    // The choice pages: a radio button, Next, the page it leads to, Back.
    static ::testing::AssertionResult ChooseAndComeBack(CWizardProcess& wizard, UINT actionPage, int radio,
                                                        UINT destinationPage, const char* screenshot)
    {
        const bool clicked = wizard.ClickPageItem(radio);
        wizard.Settle();
        if (!clicked || !wizard.IsPageItemChecked(radio))
            return ::testing::AssertionFailure() << "choice " << radio << " not checked (" << screenshot << ")";
        const ::testing::AssertionResult shown = wizard.PressTo(kNextButton, destinationPage);
        return shown ? ComeBack(wizard, actionPage, screenshot) : shown;
    }

    // From a destination page back to its action page.
    static ::testing::AssertionResult ComeBack(CWizardProcess& wizard, UINT actionPage, const char* screenshot)
    {
        // The destination keeps the buttons of the action page.
        EXPECT_EQ("BN-C", WaitForButtons(wizard, "BN-C")) << screenshot;
        TakeScreenshot(screenshot);
        return wizard.PressTo(kBackButton, actionPage) << " (" << screenshot << ")";
    }
};

TEST_F(WizardFlow, WelcomeAndSelectPagesWithoutQueuedOperations)
{
    CWizardProcess wizard;
    ASSERT_TRUE(ShowsWelcome(wizard));

    const HWND sheet = wizard.GetSheet();
    EXPECT_EQ("Orvane", GetText(sheet));
    EXPECT_TRUE(::GetWindowLongA(sheet, GWL_STYLE) & WS_MINIMIZEBOX);
    EXPECT_EQ("-N-C", WaitForButtons(wizard, "-N-C"));
    EXPECT_EQ("Bienvenue dans Orvane", wizard.GetPageItemText(IDC_BIG_TITLE));
    TakeScreenshot("365-welcome");

    // Without queued operations the pending page is not part of the sheet.
    ASSERT_TRUE(wizard.PressTo(kNextButton, IDD_SELECT));
    EXPECT_EQ("BN-C", WaitForButtons(wizard, "BN-C"));
    EXPECT_EQ("", wizard.GetPageItemText(IDC_SELECT_PATH));
    TakeScreenshot("376-select");

    ASSERT_TRUE(SubmitPath(wizard, "   ", IDD_SELECT));
    ASSERT_TRUE(ExpectMessage(wizard,
                              "Le fichier ou le dossier source est invalide ou n'existe plus. Merci de corriger.",
                              EBoxIcon::Hand, false, IDOK, "message-17-source-invalid"));
    ASSERT_TRUE(wizard.WaitForPage(IDD_SELECT));

    ASSERT_TRUE(SubmitPath(wizard, m_dir / "missing.txt", IDD_SELECT));
    ASSERT_TRUE(ExpectMessage(wizard, "Le fichier ou le dossier source n'existe pas. Merci de corriger.",
                              EBoxIcon::Hand, false, IDOK));
    EXPECT_EQ(m_dir / "missing.txt", wizard.GetPageItemText(IDC_SELECT_PATH));

    // The list is empty: Back returns to the welcome page.
    ASSERT_TRUE(wizard.PressTo(kBackButton, IDD_WELCOME));
    ASSERT_TRUE(wizard.PressTo(kNextButton, IDD_SELECT));

    // Cancel with nothing listed ends the wizard without a question.
    ASSERT_TRUE(wizard.Press(IDCANCEL));
    EXPECT_TRUE(wizard.WaitForExit());
    EXPECT_FALSE(wizard.HasMessageBox());
}

TEST_F(WizardFlow, FileAndFolderActionPagesLeadToTheirDestinationPages)
{
    const std::string file = m_dir / "file.txt";
    ASSERT_TRUE(WriteFileBytes(file, "x"));
    CWizardProcess wizard;
    ASSERT_TRUE(ShowsSelectPage(wizard));

    // Blanks around a path do not matter.
    ASSERT_TRUE(SubmitPath(wizard, "  " + m_dir.Path() + "  ", IDD_FOLDER_ACTION));
    EXPECT_EQ("BN-C", WaitForButtons(wizard, "BN-C"));
    EXPECT_TRUE(wizard.IsPageItemChecked(IDC_FOLDER_DELETE));
    TakeScreenshot("374-folder-action");
    // The arrow keys go from choice to choice, the choice following the
    // focus, and Enter goes on with it.
    EXPECT_EQ("", TypeKeySteps(wizard, {{VK_DOWN, 0, IDD_FOLDER_ACTION, IDC_FOLDER_RENAME, true},
                                        {VK_DOWN, 0, IDD_FOLDER_ACTION, IDC_FOLDER_MOVE, true},
                                        {VK_DOWN, 0, IDD_FOLDER_ACTION, IDC_FOLDER_DELETE, true},
                                        {VK_UP, 0, IDD_FOLDER_ACTION, IDC_FOLDER_MOVE, true},
                                        {VK_UP, 0, IDD_FOLDER_ACTION, IDC_FOLDER_RENAME, true},
                                        {VK_RETURN, 0, IDD_RENAME_FOLDER, IDC_NEW_FOLDER_NAME, false}}));
    ASSERT_TRUE(ComeBack(wizard, IDD_FOLDER_ACTION, "382-rename-folder"));
    ASSERT_TRUE(
        ChooseAndComeBack(wizard, IDD_FOLDER_ACTION, IDC_FOLDER_MOVE, IDD_MOVE_FOLDER, "381-move-folder"));
    ASSERT_TRUE(wizard.PressTo(kBackButton, IDD_SELECT));

    ASSERT_TRUE(SubmitPath(wizard, file, IDD_FILE_ACTION));
    EXPECT_EQ("BN-C", WaitForButtons(wizard, "BN-C"));
    EXPECT_TRUE(wizard.IsPageItemChecked(IDC_FILE_DELETE));
    TakeScreenshot("373-file-action");
    EXPECT_EQ("", TypeKeySteps(wizard, {{VK_DOWN, 0, IDD_FILE_ACTION, IDC_FILE_RENAME, true},
                                        {VK_DOWN, 0, IDD_FILE_ACTION, IDC_FILE_REPLACE, true},
                                        {VK_DOWN, 0, IDD_FILE_ACTION, IDC_FILE_MOVE, true},
                                        {VK_DOWN, 0, IDD_FILE_ACTION, IDC_FILE_DELETE, true},
                                        {VK_UP, 0, IDD_FILE_ACTION, IDC_FILE_MOVE, true},
                                        {VK_UP, 0, IDD_FILE_ACTION, IDC_FILE_REPLACE, true},
                                        {VK_RETURN, 0, IDD_REPLACE_FILE, IDC_REPLACEMENT_PATH, false}}));
    ASSERT_TRUE(ComeBack(wizard, IDD_FILE_ACTION, "378-replace-file"));
    ASSERT_TRUE(
        ChooseAndComeBack(wizard, IDD_FILE_ACTION, IDC_FILE_RENAME, IDD_RENAME_FILE, "379-rename-file"));
    ASSERT_TRUE(ChooseAndComeBack(wizard, IDD_FILE_ACTION, IDC_FILE_MOVE, IDD_MOVE_FILE, "380-move-file"));

    // A later visit keeps the last choice.
    ASSERT_TRUE(wizard.PressTo(kBackButton, IDD_SELECT));
    ASSERT_TRUE(wizard.PressTo(kNextButton, IDD_FILE_ACTION));
    EXPECT_TRUE(wizard.IsPageItemChecked(IDC_FILE_MOVE));
    EXPECT_FALSE(wizard.IsPageItemChecked(IDC_FILE_DELETE));

    // Nothing was added: the close command ends the wizard at once.
    wizard.PostSysCommand(SC_CLOSE);
    EXPECT_TRUE(wizard.WaitForExit());
    EXPECT_FALSE(wizard.HasMessageBox());
    EXPECT_TRUE(PathExists(file));
}

TEST_F(WizardFlow, ListedOperationAsksBeforeLeavingAndRunsFromTheSummary)
{
    const std::string file = m_dir / "doomed.txt";
    ASSERT_TRUE(WriteFileBytes(file, "x"));
    CWizardProcess wizard;
    ASSERT_TRUE(ShowsSelectPage(wizard));
    ASSERT_TRUE(SubmitPath(wizard, file, IDD_FILE_ACTION));

    // "Supprimer" adds the deletion and shows the summary, which has no Back.
    ASSERT_TRUE(wizard.PressTo(kNextButton, IDD_SUMMARY));
    EXPECT_EQ("-N-C", WaitForButtons(wizard, "-N-C"));
    TakeScreenshot("370-summary");

    // Alt+F4 from the tree asks as from anywhere else.
    ASSERT_EQ(IDC_OPERATION_TREE, wizard.GetPageFocus());
    ASSERT_TRUE(wizard.TypeKey(VK_F4, VK_MENU));
    ASSERT_TRUE(ExpectMessage(wizard, kConfirmQuit, EBoxIcon::Question, true, IDNO));
    EXPECT_TRUE(wizard.WaitForPage(IDD_SUMMARY));

    // "Ajouter >": the select page with an empty path, whose Back now
    // returns to the summary.
    ASSERT_TRUE(wizard.ClickPageItem(IDC_ADD));
    ASSERT_TRUE(wizard.WaitForPage(IDD_SELECT));
    EXPECT_EQ("", wizard.GetPageItemText(IDC_SELECT_PATH));
    ASSERT_TRUE(SubmitPath(wizard, file, IDD_SELECT));
    ASSERT_TRUE(ExpectMessage(wizard,
                              Ansi("Ce répertoire est déjà dans la liste. Veuillez en sélectionner un autre."),
                              EBoxIcon::Hand, false, IDOK));
    ASSERT_TRUE(wizard.PressTo(kBackButton, IDD_SUMMARY));

    // Cancel from the select page asks; No shows the summary.
    ASSERT_TRUE(wizard.ClickPageItem(IDC_ADD));
    ASSERT_TRUE(wizard.WaitForPage(IDD_SELECT));
    ASSERT_TRUE(wizard.Press(IDCANCEL));
    ASSERT_TRUE(ExpectMessage(wizard, kConfirmQuit, EBoxIcon::Question, true, IDNO, "message-10-confirm-quit"));
    EXPECT_TRUE(wizard.WaitForPage(IDD_SUMMARY));

    // The close command asks the same; No drops the close.
    wizard.PostSysCommand(SC_CLOSE);
    ASSERT_TRUE(ExpectMessage(wizard, kConfirmQuit, EBoxIcon::Question, true, IDNO));
    EXPECT_TRUE(wizard.WaitForPage(IDD_SUMMARY));
    EXPECT_FALSE(wizard.WaitForExit(200));

    // Next asks before running; No leaves everything as it was.
    ASSERT_TRUE(wizard.Press(kNextButton));
    ASSERT_TRUE(ExpectMessage(wizard, kConfirmRun, EBoxIcon::Question, true, IDNO));
    EXPECT_TRUE(wizard.WaitForPage(IDD_SUMMARY));
    EXPECT_TRUE(PathExists(file));

    ASSERT_TRUE(RunList(wizard));
    EXPECT_FALSE(PathExists(file));
    EXPECT_EQ("Fin de Orvane", wizard.GetPageItemText(IDC_BIG_TITLE));
    EXPECT_EQ("B-FC", WaitForButtons(wizard, "B-FC"));
    TakeScreenshot("369-complete");

    ASSERT_TRUE(wizard.PressTo(kBackButton, IDD_SUMMARY));
    ASSERT_TRUE(RunList(wizard));
    ASSERT_TRUE(wizard.Press(kFinishButton));
    EXPECT_TRUE(wizard.WaitForExit());
    EXPECT_FALSE(wizard.HasMessageBox());
}

TEST_F(WizardFlow, QueuedOperationsBringThePendingPageAndTheQuestion)
{
    const std::string file = m_dir / "queued.txt";
    ASSERT_TRUE(WriteFileBytes(file, "x"));
    ASSERT_TRUE(::MoveFileExA(file.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
    std::vector<char> queued;
    ASSERT_TRUE(ReadPendingValue(queued));

    {
        CWizardProcess wizard;
        ASSERT_TRUE(ShowsWelcome(wizard));
        ASSERT_TRUE(wizard.PressTo(kNextButton, IDD_PENDING));
        EXPECT_EQ("BN-C", WaitForButtons(wizard, "BN-C"));
        EXPECT_TRUE(wizard.IsPageItemChecked(IDC_PENDING_IGNORE));
        TakeScreenshot("377-pending");
        EXPECT_EQ("", TypeKeySteps(wizard, {{VK_UP, 0, IDD_PENDING, IDC_PENDING_REMOVE, true},
                                            {VK_UP, 0, IDD_PENDING, IDC_PENDING_KEEP, true},
                                            {VK_DOWN, 0, IDD_PENDING, IDC_PENDING_REMOVE, true},
                                            {VK_DOWN, 0, IDD_PENDING, IDC_PENDING_IGNORE, true},
                                            {VK_DOWN, 0, IDD_PENDING, IDC_PENDING_KEEP, true},
                                            {VK_UP, 0, IDD_PENDING, IDC_PENDING_IGNORE, true}}));
        ASSERT_TRUE(wizard.PressTo(kBackButton, IDD_WELCOME));

        // Already on the first page the queued operations are at stake.
        ASSERT_TRUE(wizard.Press(IDCANCEL));
        ASSERT_TRUE(ExpectMessage(wizard, kConfirmQuit, EBoxIcon::Question, true, IDNO));
        EXPECT_TRUE(wizard.WaitForPage(IDD_SUMMARY));

        wizard.PostSysCommand(SC_CLOSE);
        ASSERT_TRUE(ExpectMessage(wizard, kConfirmQuit, EBoxIcon::Question, true, IDYES));
        EXPECT_TRUE(wizard.WaitForExit());
    }

    // "Ignorer" empties the list: the select page follows, and Cancel
    // closes without a question. The system's queue stays as it was.
    {
        CWizardProcess wizard;
        ASSERT_TRUE(ShowsWelcome(wizard));
        ASSERT_TRUE(wizard.PressTo(kNextButton, IDD_PENDING));
        ASSERT_TRUE(wizard.PressTo(kNextButton, IDD_SELECT));
        ASSERT_TRUE(wizard.Press(IDCANCEL));
        EXPECT_TRUE(wizard.WaitForExit());
        EXPECT_FALSE(wizard.HasMessageBox());
    }
    std::vector<char> after;
    ASSERT_TRUE(ReadPendingValue(after));
    EXPECT_EQ(queued, after);
    EXPECT_TRUE(PathExists(file));
}

// "Acquérir et Enlever" takes the queue over as orvline /pending does: a
// locked deletion stays queued, and so does the rename onto its name that
// waits for it, in their order; the replacement moves its source.
TEST_F(WizardFlow, PendingPageTakesTheQueueOver)
{
    const std::string locked = m_dir.File("b.dll", "old");
    const std::string renamed = m_dir.File("a.new", "new");
    const std::string source = m_dir.File("n.tmp", "n");
    const std::string replaced = m_dir.File("c.dll", "c");
    const std::string queue = PendingQueueOf({NtPath(locked), "", NtPath(renamed), NtPath(locked),
                                              NtPath(source), "!" + NtPath(replaced)});
    ASSERT_TRUE(WritePendingValue(REG_MULTI_SZ, queue));
    {
        CHolder holder(CHolder::Open, locked);
        ASSERT_TRUE(holder.IsHolding());
        CWizardProcess wizard;
        ASSERT_TRUE(ShowsWelcome(wizard));
        ASSERT_TRUE(wizard.PressTo(kNextButton, IDD_PENDING));
        ASSERT_TRUE(wizard.ClickPageItem(IDC_PENDING_REMOVE));
        ASSERT_TRUE(wizard.PressTo(kNextButton, IDD_SUMMARY));
        ASSERT_TRUE(RunList(wizard));
        ASSERT_TRUE(wizard.ClickPageItem(IDC_NO_RESTART));
        ASSERT_TRUE(wizard.Press(kFinishButton));
        EXPECT_TRUE(wizard.WaitForExit());
    }
    EXPECT_EQ(PendingQueueOf({NtPath(locked), "", NtPath(renamed), NtPath(locked)}),
              PendingQueueBytes());
    EXPECT_EQ("new", ReadFileBytes(renamed));
    EXPECT_FALSE(PathExists(source));
    EXPECT_EQ("n", ReadFileBytes(replaced));
}

TEST_F(WizardFlow, PathArgumentFillsTheSelectPage)
{
    const std::string file = m_dir / "argument file.txt";
    ASSERT_TRUE(WriteFileBytes(file, "x"));
    CWizardProcess wizard(Quote(file) + " " + Quote(m_dir / "second.txt"));
    ASSERT_TRUE(ShowsSelectPage(wizard));
    EXPECT_EQ(file, wizard.GetPageItemText(IDC_SELECT_PATH));
    ASSERT_TRUE(wizard.Press(kNextButton));
    EXPECT_TRUE(wizard.WaitForPage(IDD_FILE_ACTION));
    ASSERT_TRUE(wizard.Press(IDCANCEL));
    EXPECT_TRUE(wizard.WaitForExit());
}

} // namespace
