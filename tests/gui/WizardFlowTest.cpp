// The wizard sheet as a user sees it: pages, wizard buttons, messages, and
// the confirmation before leaving with operations in the list.
#include "GuiDriver.h"
#include "TestSupport.h"
#include "resource.h"

#include <gtest/gtest.h>

namespace
{

const std::string kConfirmQuit = Ansi("Voulez-vous réellement quitter ?");

class WizardFlow : public ::testing::Test
{
protected:
    void SetUp() override { ClearPendingQueue(); }
    void TearDown() override { ClearPendingQueue(); }

    // Starts the wizard and waits for its first page.
    void Start(CWizardProcess& wizard)
    {
        ASSERT_TRUE(wizard.IsStarted());
        ASSERT_NE(nullptr, wizard.WaitForSheet());
        ASSERT_TRUE(wizard.WaitForPage(IDD_WELCOME));
    }

    // Next on the select page with the path typed in.
    static void SelectPath(CWizardProcess& wizard, const std::string& path, UINT expectedPage)
    {
        ASSERT_EQ(static_cast<UINT>(IDD_SELECT), wizard.GetCurrentPage());
        wizard.TypePageItem(IDC_SELECT_PATH, path);
        ASSERT_TRUE(wizard.Press(kNextButton));
        ASSERT_TRUE(wizard.WaitForPage(expectedPage)) << path;
    }

    static void ExpectMessage(CWizardProcess& wizard, const std::string& text, EBoxIcon icon,
                              bool yesNo, int answer, const char* screenshot = nullptr)
    {
        SMessageBox box;
        ASSERT_TRUE(wizard.WaitForMessageBox(box)) << text;
        EXPECT_EQ(text, box.text);
        EXPECT_STREQ(IconName(icon), IconName(box.icon)) << text;
        EXPECT_EQ(yesNo, box.yesNo) << text;
        if (screenshot)
            TakeScreenshot(screenshot);
        ASSERT_TRUE(wizard.Answer(box, answer)) << text;
    }

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
    static void ChooseAndComeBack(CWizardProcess& wizard, UINT actionPage, int radio,
                                  UINT destinationPage, const char* screenshot)
    {
        ASSERT_TRUE(wizard.ClickPageItem(radio));
        wizard.Settle();
        ASSERT_TRUE(wizard.IsPageItemChecked(radio));
        ASSERT_TRUE(wizard.Press(kNextButton));
        ASSERT_TRUE(wizard.WaitForPage(destinationPage)) << screenshot;
        ComeBack(wizard, actionPage, screenshot);
    }

    // From a destination page back to its action page.
    static void ComeBack(CWizardProcess& wizard, UINT actionPage, const char* screenshot)
    {
        // The destination keeps the buttons of the action page.
        EXPECT_EQ("BN-C", WaitForButtons(wizard, "BN-C")) << screenshot;
        TakeScreenshot(screenshot);
        ASSERT_TRUE(wizard.Press(kBackButton));
        ASSERT_TRUE(wizard.WaitForPage(actionPage)) << screenshot;
    }
};

TEST_F(WizardFlow, WelcomeAndSelectPagesWithoutQueuedOperations)
{
    CScratchDir dir;
    CWizardProcess wizard;
    Start(wizard);

    const HWND sheet = wizard.GetSheet();
    EXPECT_EQ("Orvane", GetText(sheet));
    EXPECT_TRUE(::GetWindowLongA(sheet, GWL_STYLE) & WS_MINIMIZEBOX);
    EXPECT_EQ("-N-C", WaitForButtons(wizard, "-N-C"));
    EXPECT_EQ("Bienvenue dans Orvane", wizard.GetPageItemText(IDC_BIG_TITLE));
    TakeScreenshot("365-welcome");

    // Without queued operations the pending page is not part of the sheet.
    ASSERT_TRUE(wizard.Press(kNextButton));
    ASSERT_TRUE(wizard.WaitForPage(IDD_SELECT));
    EXPECT_EQ("BN-C", WaitForButtons(wizard, "BN-C"));
    EXPECT_EQ("", wizard.GetPageItemText(IDC_SELECT_PATH));
    TakeScreenshot("376-select");

    SelectPath(wizard, "   ", IDD_SELECT);
    ExpectMessage(wizard, "Le fichier ou le dossier source est invalide ou n'existe plus. Merci de corriger.",
                  EBoxIcon::Hand, false, IDOK, "message-17-source-invalid");
    ASSERT_TRUE(wizard.WaitForPage(IDD_SELECT));

    SelectPath(wizard, dir / "missing.txt", IDD_SELECT);
    ExpectMessage(wizard, "Le fichier ou le dossier source n'existe pas. Merci de corriger.",
                  EBoxIcon::Hand, false, IDOK);
    EXPECT_EQ(dir / "missing.txt", wizard.GetPageItemText(IDC_SELECT_PATH));

    // The list is empty: Back returns to the welcome page.
    ASSERT_TRUE(wizard.Press(kBackButton));
    ASSERT_TRUE(wizard.WaitForPage(IDD_WELCOME));
    ASSERT_TRUE(wizard.Press(kNextButton));
    ASSERT_TRUE(wizard.WaitForPage(IDD_SELECT));

    // Cancel with nothing listed ends the wizard without a question.
    ASSERT_TRUE(wizard.Press(IDCANCEL));
    EXPECT_TRUE(wizard.WaitForExit());
    EXPECT_FALSE(wizard.HasMessageBox());
}

TEST_F(WizardFlow, FileAndFolderActionPagesLeadToTheirDestinationPages)
{
    CScratchDir dir;
    const std::string file = dir / "file.txt";
    ASSERT_TRUE(WriteFileBytes(file, "x"));
    CWizardProcess wizard;
    Start(wizard);
    ASSERT_TRUE(wizard.Press(kNextButton));
    ASSERT_TRUE(wizard.WaitForPage(IDD_SELECT));

    // Blanks around a path do not matter.
    SelectPath(wizard, "  " + dir.Path() + "  ", IDD_FOLDER_ACTION);
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
    ComeBack(wizard, IDD_FOLDER_ACTION, "382-rename-folder");
    ChooseAndComeBack(wizard, IDD_FOLDER_ACTION, IDC_FOLDER_MOVE, IDD_MOVE_FOLDER, "381-move-folder");
    ASSERT_TRUE(wizard.Press(kBackButton));
    ASSERT_TRUE(wizard.WaitForPage(IDD_SELECT));

    SelectPath(wizard, file, IDD_FILE_ACTION);
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
    ComeBack(wizard, IDD_FILE_ACTION, "378-replace-file");
    ChooseAndComeBack(wizard, IDD_FILE_ACTION, IDC_FILE_RENAME, IDD_RENAME_FILE, "379-rename-file");
    ChooseAndComeBack(wizard, IDD_FILE_ACTION, IDC_FILE_MOVE, IDD_MOVE_FILE, "380-move-file");

    // A later visit keeps the last choice.
    ASSERT_TRUE(wizard.Press(kBackButton));
    ASSERT_TRUE(wizard.WaitForPage(IDD_SELECT));
    ASSERT_TRUE(wizard.Press(kNextButton));
    ASSERT_TRUE(wizard.WaitForPage(IDD_FILE_ACTION));
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
    CScratchDir dir;
    const std::string file = dir / "doomed.txt";
    ASSERT_TRUE(WriteFileBytes(file, "x"));
    CWizardProcess wizard;
    Start(wizard);
    ASSERT_TRUE(wizard.Press(kNextButton));
    ASSERT_TRUE(wizard.WaitForPage(IDD_SELECT));
    SelectPath(wizard, file, IDD_FILE_ACTION);

    // "Supprimer" adds the deletion and shows the summary, which has no Back.
    ASSERT_TRUE(wizard.Press(kNextButton));
    ASSERT_TRUE(wizard.WaitForPage(IDD_SUMMARY));
    EXPECT_EQ("-N-C", WaitForButtons(wizard, "-N-C"));
    TakeScreenshot("370-summary");

    // Alt+F4 from the tree asks as from anywhere else.
    ASSERT_EQ(IDC_OPERATION_TREE, wizard.GetPageFocus());
    ASSERT_TRUE(wizard.TypeKey(VK_F4, VK_MENU));
    ExpectMessage(wizard, kConfirmQuit, EBoxIcon::Question, true, IDNO);
    EXPECT_TRUE(wizard.WaitForPage(IDD_SUMMARY));

    // "Ajouter >": the select page with an empty path, whose Back now
    // returns to the summary.
    ASSERT_TRUE(wizard.ClickPageItem(IDC_ADD));
    ASSERT_TRUE(wizard.WaitForPage(IDD_SELECT));
    EXPECT_EQ("", wizard.GetPageItemText(IDC_SELECT_PATH));
    SelectPath(wizard, file, IDD_SELECT);
    ExpectMessage(wizard, Ansi("Ce répertoire est déjà dans la liste. Veuillez en sélectionner un autre."),
                  EBoxIcon::Hand, false, IDOK);
    ASSERT_TRUE(wizard.Press(kBackButton));
    ASSERT_TRUE(wizard.WaitForPage(IDD_SUMMARY));

    // Cancel from the select page asks; No shows the summary.
    ASSERT_TRUE(wizard.ClickPageItem(IDC_ADD));
    ASSERT_TRUE(wizard.WaitForPage(IDD_SELECT));
    ASSERT_TRUE(wizard.Press(IDCANCEL));
    ExpectMessage(wizard, kConfirmQuit, EBoxIcon::Question, true, IDNO, "message-10-confirm-quit");
    EXPECT_TRUE(wizard.WaitForPage(IDD_SUMMARY));

    // The close command asks the same; No drops the close.
    wizard.PostSysCommand(SC_CLOSE);
    ExpectMessage(wizard, kConfirmQuit, EBoxIcon::Question, true, IDNO);
    EXPECT_TRUE(wizard.WaitForPage(IDD_SUMMARY));
    EXPECT_FALSE(wizard.WaitForExit(200));

    // Next asks before running; No leaves everything as it was.
    ASSERT_TRUE(wizard.Press(kNextButton));
    const std::string confirmRun = Ansi("Le/les fichier(s) et/ou dossier(s) sélectionné(s) sont sur le "
                                        "point d'être traités. Voulez-vous continuer?");
    ExpectMessage(wizard, confirmRun, EBoxIcon::Question, true, IDNO);
    EXPECT_TRUE(wizard.WaitForPage(IDD_SUMMARY));
    EXPECT_TRUE(PathExists(file));

    ASSERT_TRUE(wizard.Press(kNextButton));
    ExpectMessage(wizard, confirmRun, EBoxIcon::Question, true, IDYES);
    ASSERT_TRUE(wizard.WaitForPage(IDD_COMPLETE));
    EXPECT_FALSE(PathExists(file));
    EXPECT_EQ("Fin de Orvane", wizard.GetPageItemText(IDC_BIG_TITLE));
    EXPECT_EQ("B-FC", WaitForButtons(wizard, "B-FC"));
    TakeScreenshot("369-complete");

    ASSERT_TRUE(wizard.Press(kBackButton));
    ASSERT_TRUE(wizard.WaitForPage(IDD_SUMMARY));
    ASSERT_TRUE(wizard.Press(kNextButton));
    ExpectMessage(wizard, confirmRun, EBoxIcon::Question, true, IDYES);
    ASSERT_TRUE(wizard.WaitForPage(IDD_COMPLETE));
    ASSERT_TRUE(wizard.Press(kFinishButton));
    EXPECT_TRUE(wizard.WaitForExit());
    EXPECT_FALSE(wizard.HasMessageBox());
}

TEST_F(WizardFlow, QueuedOperationsBringThePendingPageAndTheQuestion)
{
    CScratchDir dir;
    const std::string file = dir / "queued.txt";
    ASSERT_TRUE(WriteFileBytes(file, "x"));
    ASSERT_TRUE(::MoveFileExA(file.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
    std::vector<char> queued;
    ASSERT_TRUE(ReadPendingValue(queued));

    {
        CWizardProcess wizard;
        Start(wizard);
        ASSERT_TRUE(wizard.Press(kNextButton));
        ASSERT_TRUE(wizard.WaitForPage(IDD_PENDING));
        EXPECT_EQ("BN-C", WaitForButtons(wizard, "BN-C"));
        EXPECT_TRUE(wizard.IsPageItemChecked(IDC_PENDING_IGNORE));
        TakeScreenshot("377-pending");
        EXPECT_EQ("", TypeKeySteps(wizard, {{VK_UP, 0, IDD_PENDING, IDC_PENDING_REMOVE, true},
                                            {VK_UP, 0, IDD_PENDING, IDC_PENDING_KEEP, true},
                                            {VK_DOWN, 0, IDD_PENDING, IDC_PENDING_REMOVE, true},
                                            {VK_DOWN, 0, IDD_PENDING, IDC_PENDING_IGNORE, true},
                                            {VK_DOWN, 0, IDD_PENDING, IDC_PENDING_KEEP, true},
                                            {VK_UP, 0, IDD_PENDING, IDC_PENDING_IGNORE, true}}));
        ASSERT_TRUE(wizard.Press(kBackButton));
        ASSERT_TRUE(wizard.WaitForPage(IDD_WELCOME));

        // Already on the first page the queued operations are at stake.
        ASSERT_TRUE(wizard.Press(IDCANCEL));
        ExpectMessage(wizard, kConfirmQuit, EBoxIcon::Question, true, IDNO);
        EXPECT_TRUE(wizard.WaitForPage(IDD_SUMMARY));

        wizard.PostSysCommand(SC_CLOSE);
        ExpectMessage(wizard, kConfirmQuit, EBoxIcon::Question, true, IDYES);
        EXPECT_TRUE(wizard.WaitForExit());
    }

    // "Ignorer" empties the list: the select page follows, and Cancel
    // closes without a question. The system's queue stays as it was.
    {
        CWizardProcess wizard;
        Start(wizard);
        ASSERT_TRUE(wizard.Press(kNextButton));
        ASSERT_TRUE(wizard.WaitForPage(IDD_PENDING));
        ASSERT_TRUE(wizard.Press(kNextButton));
        ASSERT_TRUE(wizard.WaitForPage(IDD_SELECT));
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
    CScratchDir dir;
    const std::string locked = dir.File("b.dll", "old");
    const std::string renamed = dir.File("a.new", "new");
    const std::string source = dir.File("n.tmp", "n");
    const std::string replaced = dir.File("c.dll", "c");
    const std::string queue = PendingQueueOf({NtPath(locked), "", NtPath(renamed), NtPath(locked),
                                              NtPath(source), "!" + NtPath(replaced)});
    ASSERT_TRUE(WritePendingValue(REG_MULTI_SZ, queue));
    {
        CHolder holder(CHolder::Open, locked);
        ASSERT_TRUE(holder.IsHolding());
        CWizardProcess wizard;
        Start(wizard);
        ASSERT_TRUE(wizard.Press(kNextButton));
        ASSERT_TRUE(wizard.WaitForPage(IDD_PENDING));
        ASSERT_TRUE(wizard.ClickPageItem(IDC_PENDING_REMOVE));
        ASSERT_TRUE(wizard.Press(kNextButton));
        ASSERT_TRUE(wizard.WaitForPage(IDD_SUMMARY));
        ASSERT_TRUE(wizard.Press(kNextButton));
        ExpectMessage(wizard, Ansi("Le/les fichier(s) et/ou dossier(s) sélectionné(s) sont sur le "
                                   "point d'être traités. Voulez-vous continuer?"),
                      EBoxIcon::Question, true, IDYES);
        ASSERT_TRUE(wizard.WaitForPage(IDD_COMPLETE));
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
    CScratchDir dir;
    const std::string file = dir / "argument file.txt";
    ASSERT_TRUE(WriteFileBytes(file, "x"));
    CWizardProcess wizard(Quote(file) + " " + Quote(dir / "second.txt"));
    Start(wizard);
    ASSERT_TRUE(wizard.Press(kNextButton));
    ASSERT_TRUE(wizard.WaitForPage(IDD_SELECT));
    EXPECT_EQ(file, wizard.GetPageItemText(IDC_SELECT_PATH));
    ASSERT_TRUE(wizard.Press(kNextButton));
    EXPECT_TRUE(wizard.WaitForPage(IDD_FILE_ACTION));
    ASSERT_TRUE(wizard.Press(IDCANCEL));
    EXPECT_TRUE(wizard.WaitForExit());
}

} // namespace
