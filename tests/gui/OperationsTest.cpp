// The whole job in the wizard: every destination page with its rules and
// messages, the operations in the summary tree, the run, the completion
// page with its report and the restart.
#include "resources/orvgui/resource.h"
#include "tests/gui/GuiDriver.h"
#include "tests/support/TestSupport.h"
#include "window/WizardMessages.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace
{

std::string ReportPath()
{
    return GetBinPath("orvgui.txt");
}

// The report without carriage returns.
std::string ReadReport()
{
    std::string text = ReadFileBytes(ReportPath());
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    return text;
}

std::size_t CountOf(const std::string& text, const std::string& part)
{
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

const std::string kSuccess = Ansi("Les fichiers et/ou les dossiers sélectionnés ont été traités avec succès. "
                                  "Cliquez sur 'Afficher le Rapport' pour + d'infos.");
const std::string kSomeFailed = Ansi("Certaines opérations n'ont pas pu être effectuées. Cliquez sur "
                                     "'Afficher le Rapport' pour + d'infos.");

class WizardOperations : public CWizardTest
{
protected:
    void SetUp() override
    {
        ::DeleteFileA(ReportPath().c_str());
        CWizardTest::SetUp();
    }

    // From the select page to a destination page (or, for a deletion, the
    // summary): the path typed, the action chosen.
    ::testing::AssertionResult Choose(const std::string& path, UINT actionPage, int radio, UINT page)
    {
        return ChooseAction(m_wizard, path, actionPage, radio, page);
    }

    // Types into the page's input and presses Next.
    bool Submit(int inputId, const std::string& input)
    {
        m_wizard.TypePageItem(inputId, input);
        return m_wizard.Press(kNextButton);
    }

    // A whole operation from the select page back to it through the summary.
    ::testing::AssertionResult Add(const std::string& path, UINT actionPage, int radio, UINT page, int inputId,
                                   const std::string& input)
    {
        ::testing::AssertionResult added = Choose(path, actionPage, radio, page);
        if (added && page != IDD_SUMMARY)
        {
            m_wizard.TypePageItem(inputId, input);
            added = m_wizard.PressTo(kNextButton, IDD_SUMMARY) << " (" << path << ")";
        }
        if (added && !(m_wizard.ClickPageItem(IDC_ADD) && m_wizard.WaitForPage(IDD_SELECT)))
            added = ::testing::AssertionFailure() << "no way back to the select page from " << path;
        return added;
    }

    std::vector<STreeLine> Tree() const { return m_wizard.ReadTree(IDC_OPERATION_TREE); }

    // Not scrolled sideways: the picture before the text of the last top
    // line, which the filling brought into view, is shown whole.
    void ExpectTreeAtItsLeft() const
    {
        const HWND tree = m_wizard.GetPageItem(IDC_OPERATION_TREE);
        const auto indent = static_cast<LONG>(::SendMessageA(tree, TVM_GETINDENT, 0, 0));
        const std::vector<STreeLine> lines = Tree();
        const auto top =
            std::find_if(lines.rbegin(), lines.rend(), [](const STreeLine& line) { return line.level == 0; });
        ASSERT_NE(lines.rend(), top);
        EXPECT_GE(GetTreeTextRect(tree, top->item).left, indent + 16);
    }

};

struct SRuleCase
{
    const char* input;  // "<dir>" stands for the scratch folder
    const char* text;
    EBoxIcon icon;
    DWORD error = 0;    // the system's reason that follows the text
};

const char kCannotAdd[] = "Impossible d'ajouter le/les objet(s) à la liste.";

const SRuleCase kRenameFileRules[] = {
    {"   ", "Le fichier ou le dossier de destination est invalide ou n'existe plus. Merci de corriger.",
     EBoxIcon::Hand},
    {"A.TXT", "La source et la destination ne peuvent pas être les mêmes. Merci de corriger.", EBoxIcon::Hand},
    // A new name is a name, not a path.
    {"sub\\b.txt", "Le fichier ou le dossier de destination est invalide ou n'existe plus. Merci de corriger.",
     EBoxIcon::Hand},
    {"b.doc", "Les extensions du fichier source et du fichier de destination sont différentes. Voulez-vous "
              "continuer malgré tout?", EBoxIcon::Question},
    {"b.txt", "La destination existe déjà", EBoxIcon::Hand},
};

const SRuleCase kRenameFolderRules[] = {
    {"", "Le fichier ou le dossier de destination est invalide ou n'existe plus. Merci de corriger.",
     EBoxIcon::Hand},
    {"SUB", "La source et la destination ne peuvent pas être les mêmes. Merci de corriger.", EBoxIcon::Hand},
    {"other", "La destination existe déjà", EBoxIcon::Hand},
    {"..\\up", "Le fichier ou le dossier de destination est invalide ou n'existe plus. Merci de corriger.",
     EBoxIcon::Hand},
};

const SRuleCase kMoveFileRules[] = {
    {"<dir>\\missing", "Le dossier de destination n'existe pas", EBoxIcon::Hand},
    {"<dir>", "La source et la destination ne peuvent pas être les mêmes. Merci de corriger.", EBoxIcon::Hand},
};

const SRuleCase kMoveFolderRules[] = {
    {" ", "Le fichier ou le dossier de destination est invalide ou n'existe plus. Merci de corriger.",
     EBoxIcon::Hand},
    {"newname", "La source et la destination doivent être sur le même disque", EBoxIcon::Hand},
    {"D:\\elsewhere", "La source et la destination doivent être sur le même disque", EBoxIcon::Hand},
    {"<dir>\\SUB", "La source et la destination ne peuvent pas être les mêmes. Merci de corriger.",
     EBoxIcon::Hand},
    // <dir>\other\sub is a folder already.
    {"<dir>\\other", "La destination existe déjà", EBoxIcon::Hand},
    // The folder itself, with a trailing backslash.
    {"<dir>\\SUB\\", "La source et la destination ne peuvent pas être les mêmes. Merci de corriger.",
     EBoxIcon::Hand},
    // What neither an attempt nor the restart could do: into itself, over a
    // file (<dir>\file\sub).
    {"<dir>\\sub\\inner", kCannotAdd, EBoxIcon::Hand, ERROR_INVALID_PARAMETER},
    {"<dir>\\file", kCannotAdd, EBoxIcon::Hand, ERROR_ALREADY_EXISTS},
};

const SRuleCase kReplaceRules[] = {
    {"", "Le fichier ou le dossier de destination est invalide ou n'existe plus. Merci de corriger.",
     EBoxIcon::Hand},
    {"<dir>\\X.EXE", "La source et la destination ne peuvent pas être les mêmes. Merci de corriger.",
     EBoxIcon::Hand},
    {"<dir>\\b.txt", "Les noms de fichier du fichier actuel et du nouveau fichier sont différents. Voulez-vous "
                     "continuer malgré tout?", EBoxIcon::Question},
    {"<dir>\\old\\x.exe", "Attention: vous êtes sur le point de remplacer un fichier avec un fichier plus "
                          "ancien. Voulez-vous vraiment continuer?", EBoxIcon::Question},
};

TEST_F(WizardOperations, DestinationPagesRefuseWhatTheirRulesRefuse)
{
    const std::string file = m_dir.File("a.txt", "a");
    m_dir.File("b.txt", "b");
    const std::string folder = m_dir.Folder("sub");
    m_dir.Folder("other");
    m_dir.Folder("other\\sub");
    m_dir.Folder("sub\\inner");
    m_dir.Folder("file");
    m_dir.File("file\\sub", "f");
    m_dir.Folder("old");
    const std::string program = m_dir / "x.exe";
    ASSERT_TRUE(::CopyFileA(FixturePath("v5_1_2600_2180").c_str(), program.c_str(), FALSE));
    ASSERT_TRUE(::CopyFileA(FixturePath("v5_1_2600_0").c_str(), (m_dir / "old\\x.exe").c_str(), FALSE));

    struct SPage
    {
        std::string path;
        UINT actionPage;
        int radio;
        UINT page;
        int inputId;
        const SRuleCase* begin;
        const SRuleCase* end;
    };
    const SPage pages[] = {
        {file, IDD_FILE_ACTION, IDC_FILE_RENAME, IDD_RENAME_FILE, IDC_NEW_FILE_NAME, std::begin(kRenameFileRules),
         std::end(kRenameFileRules)},
        {folder, IDD_FOLDER_ACTION, IDC_FOLDER_RENAME, IDD_RENAME_FOLDER, IDC_NEW_FOLDER_NAME,
         std::begin(kRenameFolderRules), std::end(kRenameFolderRules)},
        {file, IDD_FILE_ACTION, IDC_FILE_MOVE, IDD_MOVE_FILE, IDC_MOVE_DESTINATION, std::begin(kMoveFileRules),
         std::end(kMoveFileRules)},
        {folder + "\\", IDD_FOLDER_ACTION, IDC_FOLDER_MOVE, IDD_MOVE_FOLDER, IDC_MOVE_DESTINATION,
         std::begin(kMoveFolderRules), std::end(kMoveFolderRules)},
        {program, IDD_FILE_ACTION, IDC_FILE_REPLACE, IDD_REPLACE_FILE, IDC_REPLACEMENT_PATH,
         std::begin(kReplaceRules), std::end(kReplaceRules)},
    };
    for (const SPage& page : pages)
    {
        ASSERT_TRUE(Choose(page.path, page.actionPage, page.radio, page.page));
        for (const SRuleCase* rule = page.begin; rule != page.end; ++rule)
        {
            std::string input = rule->input;
            const std::size_t dir = input.find("<dir>");
            if (dir != std::string::npos)
                input.replace(dir, 5, m_dir.Path());
            ASSERT_TRUE(Submit(page.inputId, input));
            const bool question = rule->icon == EBoxIcon::Question;
            const std::string text = Ansi(rule->text);
            ASSERT_TRUE(ExpectMessage(m_wizard, rule->error ? AppendErrorText(text, rule->error) : text,
                                      rule->icon, question, question ? IDNO : IDOK));
            ASSERT_TRUE(m_wizard.WaitForPage(page.page)) << input;
            // The focus is back in the input, whose text stays.
            EXPECT_EQ(m_wizard.GetPageItem(page.inputId), m_wizard.GetFocus()) << input;
            EXPECT_EQ(input, m_wizard.GetPageItemText(page.inputId));
        }
        ASSERT_TRUE(m_wizard.PressTo(kBackButton, page.actionPage));
        ASSERT_TRUE(m_wizard.PressTo(kBackButton, IDD_SELECT));
    }

    // The read-only texts follow the selected path; the input keeps the
    // last text typed.
    ASSERT_TRUE(Choose(file, IDD_FILE_ACTION, IDC_FILE_RENAME, IDD_RENAME_FILE));
    EXPECT_EQ("a.txt", m_wizard.GetPageItemText(IDC_CURRENT_FILE_NAME));
    EXPECT_EQ("b.txt", m_wizard.GetPageItemText(IDC_NEW_FILE_NAME));
    // The object vanished since it was chosen.
    ASSERT_TRUE(::DeleteFileA(file.c_str()));
    ASSERT_TRUE(Submit(IDC_NEW_FILE_NAME, "c.txt"));
    ASSERT_TRUE(ExpectMessage(m_wizard, Ansi("Le fichier ou le dossier source n'existe pas. Merci de corriger."),
                              EBoxIcon::Hand, false, IDOK));
    ASSERT_TRUE(m_wizard.PressTo(kBackButton, IDD_FILE_ACTION));
    ASSERT_TRUE(m_wizard.PressTo(kBackButton, IDD_SELECT));

    ASSERT_TRUE(Choose(program, IDD_FILE_ACTION, IDC_FILE_REPLACE, IDD_REPLACE_FILE));
    EXPECT_EQ(program, m_wizard.GetPageItemText(IDC_CURRENT_PATH));
    EXPECT_EQ("5.1.2600.2180", m_wizard.GetPageItemText(IDC_FILE_VERSION));
    TakeScreenshot("378-replace-version");
    ASSERT_TRUE(m_wizard.Press(IDCANCEL));
    EXPECT_TRUE(m_wizard.WaitForExit());
}

// Expected lines of the tree: depth, text, image, overlay.
struct SLine
{
    int level;
    std::string text;
    int image;
    int overlay;
};

void ExpectTree(const std::vector<STreeLine>& tree, const std::vector<SLine>& expected)
{
    ASSERT_EQ(expected.size(), tree.size());
    for (std::size_t i = 0; i < tree.size(); ++i)
    {
        EXPECT_EQ(expected[i].level, tree[i].level) << i;
        EXPECT_EQ(expected[i].text, tree[i].text) << i;
        EXPECT_EQ(expected[i].image, tree[i].image) << tree[i].text;
        EXPECT_EQ(expected[i].overlay, tree[i].overlay) << tree[i].text;
    }
}

TEST_F(WizardOperations, EveryOperationJoinsTheTreeAndRuns)
{
    const std::string renamed = m_dir.File("ren.txt", "r");
    const std::string moved = m_dir.File("mov.txt", "m");
    const std::string backup = m_dir.Folder("backup.old");
    const std::string replaced = m_dir.Folder("rep") + "\\x.exe";
    const std::string replacement = m_dir.Folder("new") + "\\x.exe";
    ASSERT_TRUE(::CopyFileA(FixturePath("v5_1_2600_0").c_str(), replaced.c_str(), FALSE));
    ASSERT_TRUE(::CopyFileA(FixturePath("v5_1_2600_2180").c_str(), replacement.c_str(), FALSE));
    const std::string folder = m_dir.Folder("rf");
    const std::string movedFolder = m_dir.Folder("mf");
    m_dir.File("mf\\inside.txt", "i");
    const std::string target = m_dir.Folder("target");
    // The same drive written in lower case.
    const std::string lowerTarget = "c" + target.substr(1);
    // A line longer than the tree is wide.
    const std::string longName = "a folder whose name alone is wider than the summary tree";
    m_dir.Folder(longName);
    const std::string kept = m_dir.File(longName + "\\kept.txt", "k");

    ASSERT_TRUE(Add(renamed, IDD_FILE_ACTION, IDC_FILE_RENAME, IDD_RENAME_FILE, IDC_NEW_FILE_NAME, " renamed.txt "));
    // A folder whose name has a dot takes the file inside it.
    ASSERT_TRUE(Add(moved, IDD_FILE_ACTION, IDC_FILE_MOVE, IDD_MOVE_FILE, IDC_MOVE_DESTINATION, backup));
    ASSERT_TRUE(
        Add(replaced, IDD_FILE_ACTION, IDC_FILE_REPLACE, IDD_REPLACE_FILE, IDC_REPLACEMENT_PATH, replacement));
    ASSERT_TRUE(Add(folder, IDD_FOLDER_ACTION, IDC_FOLDER_RENAME, IDD_RENAME_FOLDER, IDC_NEW_FOLDER_NAME, "rf2"));
    ASSERT_TRUE(
        Add(movedFolder, IDD_FOLDER_ACTION, IDC_FOLDER_MOVE, IDD_MOVE_FOLDER, IDC_MOVE_DESTINATION, lowerTarget));
    ASSERT_TRUE(Choose(kept, IDD_FILE_ACTION, IDC_FILE_DELETE, IDD_SUMMARY));

    const std::string pending = Ansi("non-traité");
    const std::string to = "vers ";
    ExpectTree(Tree(), {{0, "Renommer " + renamed, 0, 0},
                        {1, to + m_dir / "renamed.txt", 0, 0},
                        {1, pending, 4, 0},
                        {0, Ansi("Déplacer ") + moved, 0, 0},
                        {1, to + backup + "\\mov.txt", 0, 0},
                        {1, pending, 4, 0},
                        {0, "Remplacer " + replaced, 0, 0},
                        {1, "avec " + replacement, 0, 0},
                        {1, pending, 4, 0},
                        {0, "Renommer " + folder, 2, 0},
                        {1, to + m_dir / "rf2", 2, 0},
                        {1, pending, 4, 0},
                        {0, Ansi("Déplacer ") + movedFolder, 2, 0},
                        {1, to + lowerTarget + "\\mf", 2, 0},
                        {1, pending, 4, 0},
                        {0, "Supprimer " + kept, 0, 0},
                        {1, pending, 4, 0}});
    ExpectTreeAtItsLeft();
    TakeScreenshot("370-tree-long-line");

    // "Processus >": a top line (a file's or a folder's) and the first child
    // of a file's; never a status line. "Enlever" on any line removes the
    // whole operation.
    struct SSelection
    {
        std::size_t line;
        bool processes;
    };
    const SSelection selections[] = {{6, true}, {7, true}, {8, false}, {9, true}, {10, false}, {16, false}};
    for (const SSelection& selection : selections)
    {
        ASSERT_TRUE(m_wizard.SelectTreeItem(IDC_OPERATION_TREE, Tree()[selection.line].item));
        EXPECT_TRUE(m_wizard.IsPageItemEnabled(IDC_REMOVE)) << selection.line;
        EXPECT_EQ(selection.processes, m_wizard.IsPageItemEnabled(IDC_SHOW_PROCESSES)) << selection.line;
    }
    ASSERT_TRUE(m_wizard.ClickPageItem(IDC_REMOVE));
    m_wizard.Settle();
    EXPECT_EQ(15u, Tree().size());
    // The selection moves up to the folder move's line: its holders too.
    EXPECT_TRUE(m_wizard.IsPageItemEnabled(IDC_SHOW_PROCESSES));

    ASSERT_TRUE(m_wizard.SelectTreeItem(IDC_OPERATION_TREE, Tree()[7].item));
    ASSERT_TRUE(m_wizard.ClickPageItem(IDC_SHOW_PROCESSES));
    ASSERT_TRUE(m_wizard.WaitForPage(IDD_PROCESSES));
    ASSERT_TRUE(m_wizard.PressTo(kBackButton, IDD_SUMMARY));

    ASSERT_TRUE(RunList(m_wizard));
    EXPECT_EQ(kSuccess, m_wizard.GetPageItemText(IDC_RESULT_TEXT));
    EXPECT_FALSE(EndsWithALoneWord(m_wizard.GetPageItem(IDC_RESULT_TEXT)));
    EXPECT_FALSE(m_wizard.IsPageItemVisible(IDC_RESTART_TEXT));
    EXPECT_FALSE(m_wizard.IsPageItemVisible(IDC_NO_RESTART));
    EXPECT_TRUE(m_wizard.IsPageItemVisible(IDC_SHOW_REPORT));

    EXPECT_FALSE(PathExists(renamed));
    EXPECT_EQ("r", ReadFileBytes(m_dir / "renamed.txt"));
    EXPECT_EQ("m", ReadFileBytes(backup + "\\mov.txt"));
    EXPECT_EQ(ReadFileBytes(FixturePath("v5_1_2600_2180")), ReadFileBytes(replaced));
    EXPECT_FALSE(PathExists(folder));
    EXPECT_TRUE(PathExists(m_dir / "rf2"));
    EXPECT_EQ("i", ReadFileBytes(target + "\\mf\\inside.txt"));
    EXPECT_TRUE(PathExists(kept));

    ASSERT_TRUE(m_wizard.PressTo(kBackButton, IDD_SUMMARY));
    const std::vector<STreeLine> done = Tree();
    ASSERT_EQ(15u, done.size());
    EXPECT_EQ(1, done[6].overlay);
    EXPECT_EQ(Ansi("remplacement effectué avec succès"), done[8].text);
    EXPECT_EQ(1, done[9].overlay);
    ExpectTreeAtItsLeft();
    TakeScreenshot("370-tree-done");
    ASSERT_TRUE(RunList(m_wizard));
    ASSERT_TRUE(m_wizard.Press(kFinishButton));
    EXPECT_TRUE(m_wizard.WaitForExit());
}

TEST_F(WizardOperations, TheSystemFoldersAreNoSource)
{
    ASSERT_TRUE(RunUnixShell("ln -s '" + UnixPath("C:\\windows") + "' '" + UnixPath(m_dir.Path()) + "/winlink'"));
    const std::string refused = Ansi("Ce dossier est la racine d'un disque ou contient le dossier Windows ou le "
                                     "dossier système: il ne peut être ni supprimé ni déplacé. Veuillez en "
                                     "sélectionner un autre.");
    const char* screenshot = "message-121-system-folder";
    for (const std::string& path : {std::string("C:\\"), std::string("\\\\?\\c:\\WINDOWS\\SYSTEM32\\"),
                                    m_dir / "winlink"})
    {
        m_wizard.TypePageItem(IDC_SELECT_PATH, path);
        ASSERT_TRUE(m_wizard.Press(kNextButton));
        ASSERT_TRUE(ExpectMessage(m_wizard, refused, EBoxIcon::Hand, false, IDOK, screenshot));
        ASSERT_TRUE(m_wizard.WaitForPage(IDD_SELECT)) << path;
        screenshot = nullptr;
    }
    ASSERT_TRUE(m_wizard.Press(IDCANCEL));
    EXPECT_TRUE(m_wizard.WaitForExit());
}

// Started where the shell starts it, in a folder of the user's: a path is
// read against no folder, and the one it stands in is no source.
TEST(WizardInAFolder, TakesOnlyFullPathsAndLeavesItsFolderFree)
{
    CEmptyPendingQueue queue;
    CScratchDir dir;
    const std::string folder = dir.Folder("sub");
    dir.File("sub\\s.txt", "s");
    dir.File("a.txt", "a");
    CWizardProcess wizard(std::string(), folder.c_str());
    ASSERT_TRUE(ShowsSelectPage(wizard));

    const std::string invalid =
        Ansi("Le fichier ou le dossier source est invalide ou n'existe plus. Merci de corriger.");
    for (const std::string path : {"..", "C:", "s.txt", "\\orvtest"})
    {
        wizard.TypePageItem(IDC_SELECT_PATH, path);
        ASSERT_TRUE(wizard.Press(kNextButton));
        ASSERT_TRUE(ExpectMessage(wizard, invalid, EBoxIcon::Hand, false, IDOK)) << path;
        ASSERT_TRUE(wizard.WaitForPage(IDD_SELECT)) << path;
    }
    // The folder it was started in is not its own: deleted at once.
    ASSERT_TRUE(ChooseAction(wizard, folder, IDD_FOLDER_ACTION, IDC_FOLDER_DELETE, IDD_SUMMARY));
    ASSERT_TRUE(RunList(wizard));
    EXPECT_TRUE(wizard.Press(kFinishButton));
    EXPECT_TRUE(wizard.WaitForExit());
    EXPECT_FALSE(PathExists(folder));
    EXPECT_EQ("a", ReadFileBytes(dir / "a.txt"));
    EXPECT_EQ("", PendingQueueBytes());
}

TEST_F(WizardOperations, ATreeKeepsWhatItsNamesCannotReach)
{
    // In T: a name of fullwidth characters that the ANSI calls read as
    // "..\victim.txt", reached through its short name, and "..\keep.txt"
    // made on the Unix side, which no path reaches.
    m_dir.Folder("a");
    const std::string tree = m_dir.Folder("a\\T");
    m_dir.File("a\\victim.txt", "v");
    m_dir.File("a\\keep.txt", "k");
    ASSERT_TRUE(RunUnixShell("cd '" + UnixPath(tree) + "' && printf t > "
                             "$(printf '\\357\\274\\216\\357\\274\\216\\357\\274\\274')victim.txt && "
                             "printf t > '..\\keep.txt'"));
    ASSERT_TRUE(Choose(tree, IDD_FOLDER_ACTION, IDC_FOLDER_DELETE, IDD_SUMMARY));
    ASSERT_TRUE(RunList(m_wizard, "message-27-names-kept"));
    EXPECT_EQ("v", ReadFileBytes(m_dir / "a\\victim.txt"));
    EXPECT_EQ("k", ReadFileBytes(m_dir / "a\\keep.txt"));

    ASSERT_TRUE(m_wizard.PressTo(kBackButton, IDD_SUMMARY));
    const std::vector<STreeLine> lines = Tree();
    const auto status = [&](const std::string& top) {
        const auto line = std::find_if(lines.begin(), lines.end(),
                                       [&](const STreeLine& l) { return l.level == 0 && l.text == top; });
        EXPECT_NE(lines.end(), line) << top;
        if (line == lines.end() || line + 1 == lines.end())
            return std::string("<none>");
        EXPECT_EQ(2, line->overlay) << top;
        return (line + 1)->text;
    };
    EXPECT_EQ(SystemText(ERROR_INVALID_NAME), status("Supprimer " + tree + "\\..?keep.txt"));
    EXPECT_EQ(SystemText(ERROR_DIR_NOT_EMPTY), status("Supprimer " + tree));
    EXPECT_EQ(6u, lines.size());
    TakeScreenshot("370-tree-names-kept");
    ASSERT_TRUE(m_wizard.Press(IDCANCEL));
    ASSERT_TRUE(ExpectMessage(m_wizard, kConfirmQuit, EBoxIcon::Question, true, IDYES));
    EXPECT_TRUE(m_wizard.WaitForExit());
}

TEST_F(WizardOperations, TwoPassesReportBothAndTheBoxKeepsTheRestartAway)
{
    const std::string locked = m_dir.File("locked.txt", "l");
    const std::string source = m_dir.File("x.txt", "x");
    const std::string taken = m_dir / "y.txt";
    const std::string folder = m_dir.Folder("gone");
    const std::string inside = m_dir.File("gone\\inside.txt", "i");
    CHolder holder(CHolder::Open, locked);
    ASSERT_TRUE(holder.IsHolding());

    ASSERT_TRUE(Add(locked, IDD_FILE_ACTION, IDC_FILE_DELETE, IDD_SUMMARY, 0, ""));
    ASSERT_TRUE(Add(source, IDD_FILE_ACTION, IDC_FILE_RENAME, IDD_RENAME_FILE, IDC_NEW_FILE_NAME, "y.txt"));
    ASSERT_TRUE(Choose(folder, IDD_FOLDER_ACTION, IDC_FOLDER_DELETE, IDD_SUMMARY));
    // The name is taken before the run: the rename fails.
    ASSERT_TRUE(WriteFileBytes(taken, "t"));

    ASSERT_TRUE(RunList(m_wizard, "message-27-process-error"));
    EXPECT_EQ(kSomeFailed, m_wizard.GetPageItemText(IDC_RESULT_TEXT));
    EXPECT_FALSE(EndsWithALoneWord(m_wizard.GetPageItem(IDC_RESULT_TEXT)));
    EXPECT_TRUE(m_wizard.IsPageItemVisible(IDC_RESTART_TEXT));
    EXPECT_TRUE(m_wizard.IsPageItemVisible(IDC_NO_RESTART));
    EXPECT_TRUE(m_wizard.IsPageItemVisible(IDC_SHOW_REPORT));
    TakeScreenshot("369-complete-failed-restart");
    ASSERT_TRUE(m_wizard.ClickPageItem(IDC_NO_RESTART));
    m_wizard.Settle();

    ASSERT_TRUE(m_wizard.PressTo(kBackButton, IDD_SUMMARY));
    const std::vector<STreeLine> tree = Tree();
    ASSERT_EQ(9u, tree.size());
    // Delayed file: document and hourglass; failed: red cross; deleted
    // folder and its file: faded pictures with the check.
    EXPECT_EQ(0, tree[0].image);
    EXPECT_EQ(3, tree[0].overlay);
    EXPECT_EQ(Ansi("fichier en cours d'utilisation, opération différée"), tree[1].text);
    EXPECT_EQ(2, tree[2].overlay);
    EXPECT_EQ(1, tree[5].image);
    EXPECT_EQ(1, tree[5].overlay);
    EXPECT_EQ(3, tree[7].image);
    EXPECT_EQ(1, tree[7].overlay);
    TakeScreenshot("370-tree-outcomes");

    ASSERT_TRUE(::DeleteFileA(taken.c_str()));
    ASSERT_TRUE(RunList(m_wizard));
    EXPECT_EQ(kSuccess, m_wizard.GetPageItemText(IDC_RESULT_TEXT));
    EXPECT_TRUE(m_wizard.IsPageItemVisible(IDC_RESTART_TEXT));
    EXPECT_TRUE(m_wizard.IsPageItemChecked(IDC_NO_RESTART));
    EXPECT_EQ("x", ReadFileBytes(taken));
    ASSERT_TRUE(m_wizard.Press(kFinishButton));
    EXPECT_TRUE(m_wizard.WaitForExit());

    // No restart: the queue keeps the locked file, queued by each pass.
    ::Sleep(700);
    EXPECT_FALSE(IsProcessRunning("wineboot.exe"));
    EXPECT_EQ(PendingQueueOf({NtPath(locked), "", NtPath(locked), ""}), PendingQueueBytes());

    // One dated block per pass, the second with the new statuses.
    const std::string report = ReadReport();
    // Its names fit the system's ANSI code page: the report is written in it.
    EXPECT_EQ(2u, CountOf(report, locked + "\nStatut:: " +
                                      SystemAnsi("fichier en cours d'utilisation, opération différée")));
    EXPECT_EQ(2u, CountOf(report, taken + "\nStatut:: "));
    EXPECT_EQ(1u, CountOf(report, taken + "\nStatut:: " + SystemAnsi("déplacement effectué avec succès")));
    EXPECT_LT(report.find(taken + "\nStatut:: " + SystemText(ERROR_ALREADY_EXISTS)),
              report.find(taken + "\nStatut:: " + SystemAnsi("déplacement")));
}

TEST_F(WizardOperations, LargeFolderShowsEveryLineAndItsOutcome)
{
    // More operations than the tree shows expanded.
    const std::string root = m_dir.Folder("large");
    std::vector<std::string> sources;
    for (int f = 0; f < 5; ++f)
    {
        const std::string folder = m_dir.Folder("large\\d" + std::to_string(f));
        for (int i = 0; i < 100; ++i)
        {
            sources.push_back(folder + "\\f" + std::to_string(i) + ".txt");
            ASSERT_TRUE(WriteFileBytes(sources.back(), ""));
        }
        sources.push_back(folder);
    }
    sources.push_back(root);
    m_wizard.TypePageItem(IDC_SELECT_PATH, root);
    ASSERT_TRUE(m_wizard.PressTo(kNextButton, IDD_FOLDER_ACTION));
    ASSERT_TRUE(m_wizard.PressTo(kNextButton, IDD_SUMMARY, 120000));

    // Every operation once, with its status line, whatever the listing order;
    // the folder itself last.
    const auto expectEveryLine = [&](int overlayOfFile, int overlayOfFolder, const std::string& status,
                                     const std::string& missing) {
        m_wizard.ExpandTree(IDC_OPERATION_TREE);
        const std::vector<STreeLine> tree = Tree();
        ASSERT_EQ(2 * sources.size(), tree.size());
        std::vector<std::string> shown;
        for (std::size_t i = 0; i < tree.size(); i += 2)
        {
            const std::string source = tree[i].text.substr(std::string("Supprimer ").size());
            const bool isFolder = source.find(".txt") == std::string::npos;
            const bool failed = source == missing;
            shown.push_back(source);
            EXPECT_EQ(0, tree[i].level);
            EXPECT_EQ(failed ? 2 : isFolder ? overlayOfFolder : overlayOfFile, tree[i].overlay) << source;
            EXPECT_EQ((isFolder ? 2 : 0) + (overlayOfFile == 1 && !failed ? 1 : 0), tree[i].image) << source;
            EXPECT_EQ(1, tree[i + 1].level);
            EXPECT_EQ(failed ? SystemText(ERROR_FILE_NOT_FOUND) : status, tree[i + 1].text) << source;
            EXPECT_EQ(4, tree[i + 1].image);
        }
        EXPECT_EQ("Supprimer " + root, tree[tree.size() - 2].text);
        std::sort(shown.begin(), shown.end());
        std::vector<std::string> expected = sources;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(expected, shown);
    };
    expectEveryLine(0, 0, Ansi("non-traité"), "");
    TakeScreenshot("370-tree-large");

    // One file gone before the run: its line fails, every other one is done,
    // and the tree says so before the message, and again after the return.
    const std::string missing = sources[5];
    ASSERT_TRUE(::DeleteFileA(missing.c_str()));
    ASSERT_TRUE(m_wizard.Press(kNextButton));
    ASSERT_TRUE(ExpectMessage(m_wizard, kConfirmRun, EBoxIcon::Question, true, IDYES));
    SMessageBox box;
    ASSERT_TRUE(m_wizard.WaitForMessageBox(box, 120000));
    EXPECT_EQ(Ansi("Une erreur est survenue pendant le traitement du/des fichier(s)"), box.text);
    const std::string done = Ansi("suppression effectuée avec succès");
    expectEveryLine(1, 1, done, missing);
    ASSERT_TRUE(m_wizard.Answer(box, IDOK));
    ASSERT_TRUE(m_wizard.WaitForPage(IDD_COMPLETE));
    EXPECT_FALSE(PathExists(root));
    ASSERT_TRUE(m_wizard.PressTo(kBackButton, IDD_SUMMARY, 60000));
    expectEveryLine(1, 1, done, missing);
}

TEST_F(WizardOperations, CancelStopsTheListingAndAddsNothing)
{
    const std::string root = m_dir.Folder("tree");
    for (int i = 0; i < 20; ++i)
        ASSERT_TRUE(WriteFileBytes(root + "\\f" + std::to_string(i) + ".txt", ""));
    m_wizard.TypePageItem(IDC_SELECT_PATH, root);
    ASSERT_TRUE(m_wizard.PressTo(kNextButton, IDD_FOLDER_ACTION));

    // Cancel pressed right behind Next: the listing stops at once.
    ASSERT_TRUE(m_wizard.Hold());
    const bool pressed = m_wizard.Press(kNextButton) && m_wizard.Press(IDCANCEL);
    m_wizard.Release();
    ASSERT_TRUE(pressed);
    m_wizard.Settle();
    EXPECT_EQ(static_cast<UINT>(IDD_FOLDER_ACTION), m_wizard.GetCurrentPage());
    EXPECT_FALSE(m_wizard.HasMessageBox());
    EXPECT_EQ(Ansi("Recherche arrêtée: rien n'a été ajouté à la liste."),
              m_wizard.GetPageItemText(IDC_PROGRESS_TEXT));
    EXPECT_TRUE(m_wizard.IsPageItemEnabled(IDC_FOLDER_DELETE));
    EXPECT_TRUE(m_wizard.IsButtonEnabled(kBackButton));
    EXPECT_TRUE(m_wizard.IsButtonEnabled(kNextButton));
    TakeScreenshot("374-listing-cancelled");

    // Nothing joined the list: Cancel now ends the wizard without a question.
    ASSERT_TRUE(m_wizard.Press(IDCANCEL));
    EXPECT_TRUE(m_wizard.WaitForExit());
    EXPECT_TRUE(PathExists(root + "\\f0.txt"));
}

TEST_F(WizardOperations, CancelStopsTheRunAndTheReportTellsWhatWasNotDone)
{
    const std::string folder = m_dir.Folder("kept");
    const std::string a = m_dir.File("kept\\a.txt", "a");
    const std::string b = m_dir.File("kept\\b.txt", "b");
    ASSERT_TRUE(Choose(folder, IDD_FOLDER_ACTION, IDC_FOLDER_DELETE, IDD_SUMMARY));

    // Yes and Cancel as one burst: the run stops before its first operation.
    ASSERT_TRUE(m_wizard.Press(kNextButton));
    SMessageBox box;
    ASSERT_TRUE(m_wizard.WaitForMessageBox(box));
    EXPECT_EQ(kConfirmRun, box.text);
    ASSERT_TRUE(m_wizard.Hold());
    const bool pressed = m_wizard.PostAnswer(box, IDYES) && m_wizard.Press(IDCANCEL);
    m_wizard.Release();
    ASSERT_TRUE(pressed);
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(box.hwnd); }, 10000));
    ASSERT_TRUE(ExpectMessage(m_wizard,
                              Ansi("Le traitement a été arrêté: 3 opération(s) n'ont pas été effectuée(s) et "
                                   "restent dans la liste."),
                              EBoxIcon::Exclamation, false, IDOK, "message-process-cancelled"));
    ASSERT_TRUE(m_wizard.WaitForPage(IDD_COMPLETE));
    EXPECT_EQ(kSomeFailed, m_wizard.GetPageItemText(IDC_RESULT_TEXT));
    EXPECT_FALSE(m_wizard.IsPageItemVisible(IDC_RESTART_TEXT));
    EXPECT_EQ("a", ReadFileBytes(a));
    EXPECT_EQ("b", ReadFileBytes(b));
    EXPECT_EQ(3u, CountOf(ReadReport(), "\nStatut:: " + SystemAnsi("non-traité")));

    ASSERT_TRUE(m_wizard.PressTo(kBackButton, IDD_SUMMARY));
    const std::vector<STreeLine> tree = Tree();
    ASSERT_EQ(6u, tree.size());
    for (std::size_t i = 0; i < tree.size(); i += 2)
    {
        EXPECT_EQ(0, tree[i].overlay) << tree[i].text;
        EXPECT_EQ(Ansi("non-traité"), tree[i + 1].text) << tree[i].text;
    }

    // The next run does them all.
    ASSERT_TRUE(RunList(m_wizard));
    EXPECT_EQ(kSuccess, m_wizard.GetPageItemText(IDC_RESULT_TEXT));
    EXPECT_FALSE(PathExists(folder));
}

TEST_F(WizardOperations, FinishRestartsWhenAnOperationWaits)
{
    const std::string locked = m_dir.File("locked.txt", "l");
    {
        CHolder holder(CHolder::Open, locked);
        ASSERT_TRUE(holder.IsHolding());
        ASSERT_TRUE(Choose(locked, IDD_FILE_ACTION, IDC_FILE_DELETE, IDD_SUMMARY));
        ASSERT_TRUE(RunList(m_wizard));
    }
    EXPECT_TRUE(m_wizard.IsPageItemVisible(IDC_NO_RESTART));
    EXPECT_FALSE(m_wizard.IsPageItemChecked(IDC_NO_RESTART));
    ASSERT_TRUE(PathExists(locked));
    ASSERT_TRUE(m_wizard.Press(kFinishButton));
    EXPECT_TRUE(m_wizard.WaitForExit());

    // Wine restarts the prefix in the background and carries out the queue;
    // on a busy machine that takes a while.
    EXPECT_TRUE(WaitUntil([&] { return !PathExists(locked); }, 60000));
    EXPECT_TRUE(WaitUntil([] { return !IsProcessRunning("wineboot.exe"); }, 60000));
    EXPECT_EQ("", PendingQueueBytes());
}

} // namespace
