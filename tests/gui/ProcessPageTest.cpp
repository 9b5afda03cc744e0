// The process page as a user reaches it from the summary page: the holders
// of the selected file listed, sorted, refreshed and ended; where the system
// keeps no handle table (Windows 9x/Me), the modules that have it loaded.
#include "engine/SystemServices.h"
#include "engine/Text.h"
#include "resources/orvgui/resource.h"
#include "tests/gui/GuiDriver.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <shlwapi.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace
{

const std::string kAskKill = Ansi("'%s' ne s'est pas fermé en utilisant la méthode sécurisée. Voulez-vous "
                                  "forcer le processus à s'arrêter (des données peuvent être perdues) ?");
const std::string kCannotEnd = Ansi("Impossible d'arrêter le processus '%s'.\n\n");
const std::string kCannotEndSelf = "Vous ne pouvez pas ternimer le processus de l'application";
const std::string kLoaded = Ansi("n/a (chargé)");
const std::string kOpen = "n/a (ouvert)";

std::string Fill(const std::string& format, const std::string& name)
{
    const std::size_t at = format.find("%s");
    return format.substr(0, at) + name + format.substr(at + 2);
}

class ProcessPage : public CWizardTest
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(CopyFixtureDll(m_dll));
        CWizardTest::SetUp();
    }

    void TearDown() override
    {
        if (m_wizard.HasMessageBox())
            TakeScreenshot(std::string("process-page-left-") +
                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    }

    // The operation on `path` (deleted, or replaced by `replacement`) and
    // the process page of its line `line` in the summary tree.
    ::testing::AssertionResult Open(const std::string& path, std::size_t line = 0,
                                    const std::string& replacement = "")
    {
        const bool folder = ::PathIsDirectoryA(path.c_str()) != FALSE;
        ::testing::AssertionResult opened =
            folder ? ChooseAction(m_wizard, path, IDD_FOLDER_ACTION, IDC_FOLDER_DELETE, IDD_SUMMARY)
            : replacement.empty()
                ? ChooseAction(m_wizard, path, IDD_FILE_ACTION, IDC_FILE_DELETE, IDD_SUMMARY)
                : ChooseAction(m_wizard, path, IDD_FILE_ACTION, IDC_FILE_REPLACE, IDD_REPLACE_FILE);
        if (opened && !replacement.empty())
        {
            m_wizard.TypePageItem(IDC_REPLACEMENT_PATH, replacement);
            opened = m_wizard.PressTo(kNextButton, IDD_SUMMARY);
        }
        if (opened && folder)
        {
            // The folder's content comes first, the folder itself last.
            const std::vector<STreeLine> tree = m_wizard.ReadTree(IDC_OPERATION_TREE);
            for (line = tree.empty() ? 0 : tree.size() - 1; line > 0 && tree[line].level != 0;)
                --line;
        }
        return opened ? ShowProcesses(line) : opened;
    }

    ::testing::AssertionResult ShowProcesses(std::size_t line)
    {
        const std::vector<STreeLine> tree = m_wizard.ReadTree(IDC_OPERATION_TREE);
        if (line >= tree.size() || !m_wizard.SelectTreeItem(IDC_OPERATION_TREE, tree[line].item) ||
            !m_wizard.ClickPageItem(IDC_SHOW_PROCESSES) || !m_wizard.WaitForPage(IDD_PROCESSES))
            return ::testing::AssertionFailure() << "no process page from line " << line << " of " << tree.size();
        return ::testing::AssertionSuccess();
    }

    HWND List() const { return m_wizard.GetPageItem(IDC_PROCESS_LIST); }

    // The row that shows the process id; -1 when none does.
    int RowOf(DWORD processId) const
    {
        const int count = GetListCount(List());
        for (int row = 0; row < count; ++row)
        {
            if (GetListText(List(), row, 1) == std::to_string(processId))
                return row;
        }
        return -1;
    }

    std::vector<std::string> Column(int column) const
    {
        std::vector<std::string> texts;
        for (int row = 0; row < GetListCount(List()); ++row)
            texts.push_back(GetListText(List(), row, column));
        return texts;
    }

    ::testing::AssertionResult Select(int row)
    {
        if (row < 0)
            return ::testing::AssertionFailure() << "no such row";
        if (!SetListState(List(), row, LVIS_SELECTED, LVIS_SELECTED))
            return ::testing::AssertionFailure() << "row " << row << " not selected";
        m_wizard.Settle();
        return ::testing::AssertionSuccess();
    }

    // Up to five seconds pass before a process without windows is asked about.
    ::testing::AssertionResult ExpectMessage(const std::string& text, EBoxIcon icon, bool yesNo, int answer,
                                             const char* screenshot = nullptr)
    {
        return ::ExpectMessage(m_wizard, text, icon, yesNo, answer, screenshot, 20000);
    }

    bool WaitForRows(int count) const
    {
        return WaitUntil([&] { return GetListCount(List()) == count; }, 10000);
    }

    const std::string m_dll = m_dir / "held.dll";
};

TEST_F(ProcessPage, HoldersListedThenEndedTheGentlestWay)
{
    CHolder window(CHolder::Window, m_dll);
    CHolder quiet(CHolder::Load, m_dll);
    CHolder reader(CHolder::Open, m_dll);
    ASSERT_TRUE(window.IsHolding() && quiet.IsHolding() && reader.IsHolding());
    ASSERT_TRUE(Open(m_dll));

    // Back only; the terminate button waits for a selection.
    EXPECT_TRUE(WaitUntil([&] { return m_wizard.IsButtonEnabled(kBackButton); }, 2000));
    EXPECT_FALSE(m_wizard.IsButtonEnabled(kNextButton));
    EXPECT_FALSE(m_wizard.IsButtonEnabled(kFinishButton));
    EXPECT_FALSE(m_wizard.IsPageItemEnabled(IDC_TERMINATE));
    EXPECT_EQ(Ansi("&Rafraîchir"), m_wizard.GetPageItemText(IDC_REFRESH));

    // Loaded, or only open.
    ASSERT_EQ(3, GetListCount(List()));
    for (const CHolder* holder : {&window, &quiet, &reader})
    {
        const int row = RowOf(holder->GetProcessId());
        ASSERT_GE(row, 0);
        EXPECT_EQ("orvholder.exe", GetListText(List(), row, 0));
        EXPECT_EQ(holder == &reader ? kOpen : kLoaded, GetListText(List(), row, 2));
    }
    RECT client{};
    ::GetClientRect(List(), &client);
    const int width = client.right - ::GetSystemMetrics(SM_CXVSCROLL) - 5;
    EXPECT_EQ(width * 35 / 100, GetListColumnWidth(List(), 0));
    EXPECT_EQ(width * 15 / 100, GetListColumnWidth(List(), 1));
    EXPECT_EQ(width * 50 / 100, GetListColumnWidth(List(), 2));
    TakeScreenshot("process-page-rows");

    // A window that closes when told: no question, the row leaves.
    ASSERT_TRUE(Select(RowOf(window.GetProcessId())));
    EXPECT_TRUE(m_wizard.IsPageItemEnabled(IDC_TERMINATE));
    ASSERT_TRUE(m_wizard.ClickPageItem(IDC_TERMINATE));
    EXPECT_TRUE(WaitForRows(2));
    EXPECT_FALSE(m_wizard.HasMessageBox());
    DWORD exitCode = 0;
    ASSERT_TRUE(window.HasEnded(5000, &exitCode));
    EXPECT_EQ(0u, exitCode);

    // The keyboard goes on from the list, on the next row; Enter there ends
    // nothing and stays on the page.
    EXPECT_TRUE(WaitUntil([&] { return m_wizard.GetPageFocus() == IDC_PROCESS_LIST; }, 3000));
    int selected = 0;
    for (int i = 0; i < GetListCount(List()); ++i)
        selected += GetListState(List(), i, LVIS_SELECTED) ? 1 : 0;
    EXPECT_EQ(1, selected);
    EXPECT_EQ("", TypeKeySteps(m_wizard, {{VK_RETURN, 0, IDD_PROCESSES, IDC_PROCESS_LIST, false},
                                          {VK_TAB, 0, IDD_PROCESSES, IDC_REFRESH, false},
                                          {VK_TAB, VK_SHIFT, IDD_PROCESSES, IDC_PROCESS_LIST, false}}));
    EXPECT_EQ(2, GetListCount(List()));
    EXPECT_FALSE(m_wizard.HasMessageBox());
    EXPECT_FALSE(quiet.HasEnded(0));

    // No window: asked after five seconds; No keeps it, marked.
    ASSERT_TRUE(Select(RowOf(quiet.GetProcessId())));
    ASSERT_TRUE(m_wizard.ClickPageItem(IDC_TERMINATE));
    ASSERT_TRUE(ExpectMessage(Fill(kAskKill, "orvholder.exe"), EBoxIcon::Question, true, IDNO));
    ASSERT_TRUE(ExpectMessage(Fill(kCannotEnd, "orvholder.exe") + SystemText(WAIT_TIMEOUT), EBoxIcon::Hand,
                              false, IDOK, "process-page-failure-message"));
    m_wizard.Settle();
    EXPECT_TRUE(::IsWindowEnabled(m_wizard.GetSheet()));
    const int row = RowOf(quiet.GetProcessId());
    ASSERT_GE(row, 0);
    EXPECT_EQ(static_cast<UINT>(INDEXTOOVERLAYMASK(1)), GetListState(List(), row, LVIS_OVERLAYMASK));
    EXPECT_EQ(0u, GetListState(List(), row, LVIS_SELECTED));
    EXPECT_FALSE(quiet.HasEnded(0));
    TakeScreenshot("process-page-failure");

    // Yes kills it.
    ASSERT_TRUE(Select(row));
    ASSERT_TRUE(m_wizard.ClickPageItem(IDC_TERMINATE));
    ASSERT_TRUE(ExpectMessage(Fill(kAskKill, "orvholder.exe"), EBoxIcon::Question, true, IDYES));
    EXPECT_TRUE(WaitForRows(1));
    ASSERT_TRUE(quiet.HasEnded(5000, &exitCode));
    EXPECT_EQ(0xDEADDEEDu, exitCode);
    EXPECT_FALSE(m_wizard.IsPageItemEnabled(IDC_TERMINATE));
    reader.Release();
    ASSERT_TRUE(m_wizard.ClickPageItem(IDC_REFRESH));
    EXPECT_TRUE(WaitForRows(0));
    m_wizard.Settle();
    TakeScreenshot("process-page-empty");

    ASSERT_TRUE(m_wizard.Press(kBackButton));
    EXPECT_TRUE(m_wizard.WaitForPage(IDD_SUMMARY));
}

// Whatever holds the folder or something in it, found by its handles and
// ended from the page: then the folder goes at once, nothing is queued.
TEST_F(ProcessPage, OpenHoldersOfAFolderEndedThenItGoesAtOnce)
{
    const std::string target = m_dir.Folder("target");
    const std::string file = m_dir.File("target\\held.txt", "held");
    const std::string sub = m_dir.Folder("target\\sub");
    const std::string work = m_dir.Folder("target\\work");
    CHolder opener(CHolder::Open, file);
    CHolder folder(CHolder::Folder, sub);
    CHolder inside(CHolder::Cwd, work);
    // Holds nothing of the folder, and naming its pipe could hang.
    CHolder pipe(CHolder::Pipe, "orvholder-page-" + std::to_string(::GetCurrentProcessId()));
    ASSERT_TRUE(opener.IsHolding() && folder.IsHolding() && inside.IsHolding() && pipe.IsHolding());
    ASSERT_TRUE(Open(target));

    EXPECT_EQ(Ansi("Processus qui ont chargé ou ouvert le fichier, ou un élément du dossier."),
              m_wizard.GetPageItemText(IDC_PROCESS_NOTE));
    ASSERT_EQ(3, GetListCount(List()));
    for (const CHolder* holder : {&opener, &folder, &inside})
    {
        const int row = RowOf(holder->GetProcessId());
        ASSERT_GE(row, 0);
        EXPECT_EQ(kOpen, GetListText(List(), row, 2));
    }
    EXPECT_EQ(-1, RowOf(pipe.GetProcessId()));
    TakeScreenshot("process-page-open-holders");

    // The one with a window closes when told; the two others are killed.
    for (int row = 0; row < 3; ++row)
        ASSERT_TRUE(Select(row));
    ASSERT_TRUE(m_wizard.ClickPageItem(IDC_TERMINATE));
    for (int asked = 0; asked < 2; ++asked)
        ASSERT_TRUE(ExpectMessage(Fill(kAskKill, "orvholder.exe"), EBoxIcon::Question, true, IDYES));
    EXPECT_TRUE(WaitForRows(0));
    for (const CHolder* holder : {&opener, &folder, &inside})
        EXPECT_TRUE(holder->HasEnded(5000));

    ASSERT_TRUE(m_wizard.PressTo(kBackButton, IDD_SUMMARY));
    ASSERT_TRUE(RunList(m_wizard));
    EXPECT_FALSE(PathExists(target));
    EXPECT_EQ("", PendingQueueBytes());
}

// The handles of the holders closed from the page while they go on: a row
// that held the folder only open leaves, one that also has a module loaded
// stays and says so; a process of the system is refused. Then the folder
// goes at once.
TEST_F(ProcessPage, ReleasedWhileTheHoldersGoOn)
{
    const std::string target = m_dir.Folder("target");
    const std::string dll = target + "\\lib.dll";
    ASSERT_TRUE(CopyFixtureDll(dll));
    const std::string critical = m_dir.Folder("system") + "\\csrss.exe";
    ASSERT_TRUE(::CopyFileA(GetBinPath("orvholder.exe").c_str(), critical.c_str(), FALSE));
    CHolder file(CHolder::Open, m_dir.File("target\\held.txt", "held"));
    CHolder folder(CHolder::Folder, m_dir.Folder("target\\sub"));
    CHolder both(CHolder::Both, dll);
    CHolder system(CHolder::Open, m_dir.File("target\\other.txt", "other"), critical);
    ASSERT_TRUE(file.IsHolding() && folder.IsHolding() && both.IsHolding() && system.IsHolding());
    ASSERT_TRUE(Open(target));
    ASSERT_EQ(4, GetListCount(List()));
    EXPECT_TRUE(::IsWindowVisible(m_wizard.GetPageItem(IDC_RELEASE)));
    EXPECT_FALSE(m_wizard.IsPageItemEnabled(IDC_RELEASE));

    for (int row = 0; row < 4; ++row)
        ASSERT_TRUE(Select(row));
    EXPECT_TRUE(m_wizard.IsPageItemEnabled(IDC_RELEASE));
    TakeScreenshot("process-page-release");
    ASSERT_TRUE(m_wizard.ClickPageItem(IDC_RELEASE));
    // Sorted by name, the process of the system comes first.
    ASSERT_TRUE(ExpectMessage(Ansi("Orvane ne ferme jamais les handles de 'csrss.exe' : le système ne peut pas "
                                   "fonctionner sans ce processus, ou il n'a pas pu être identifié."),
                              EBoxIcon::Exclamation, false, IDOK));
    const std::string confirm = Ansi("Fermer ce que 'orvholder.exe' tient ouvert du fichier ou du dossier ?\n\n"
                                     "Le programme continue de fonctionner, mais il peut échouer ou mal se "
                                     "comporter ensuite, et ce qu'il n'avait pas encore écrit dans le fichier est "
                                     "perdu.");
    for (int asked = 0; asked < 3; ++asked)
    {
        SMessageBox box;
        ASSERT_TRUE(m_wizard.WaitForMessageBox(box, 20000));
        EXPECT_EQ(confirm, box.text);
        EXPECT_EQ(EBoxIcon::Exclamation, box.icon);
        EXPECT_TRUE(box.yesNo);
        // No is the default.
        EXPECT_EQ(BS_DEFPUSHBUTTON, ::GetWindowLongA(::GetDlgItem(box.hwnd, IDNO), GWL_STYLE) & BS_TYPEMASK);
        if (asked == 0)
            TakeScreenshot("process-page-release-confirm");
        ASSERT_TRUE(m_wizard.Answer(box, IDYES));
    }
    ASSERT_TRUE(WaitForRows(2));
    m_wizard.Settle();
    EXPECT_EQ(kOpen, GetListText(List(), RowOf(system.GetProcessId()), 2));
    ASSERT_GE(RowOf(both.GetProcessId()), 0);
    EXPECT_EQ(kLoaded, GetListText(List(), RowOf(both.GetProcessId()), 2));
    TakeScreenshot("process-page-released");
    ASSERT_TRUE(Select(RowOf(both.GetProcessId())));
    EXPECT_FALSE(m_wizard.IsPageItemEnabled(IDC_RELEASE));
    EXPECT_TRUE(m_wizard.IsPageItemEnabled(IDC_TERMINATE));

    // Every holder goes on; only the refused one can still use its handle.
    for (CHolder* holder : {&file, &folder, &both})
    {
        EXPECT_FALSE(holder->HasEnded(0));
        EXPECT_EQ(0u, holder->Use().find("failed "));
    }
    EXPECT_EQ("used", system.Use());

    // With the two that hold it still ended, the folder goes at once.
    system.Release();
    both.Release();
    ASSERT_TRUE(m_wizard.PressTo(kBackButton, IDD_SUMMARY));
    ASSERT_TRUE(RunList(m_wizard));
    EXPECT_FALSE(PathExists(target));
    EXPECT_EQ("", PendingQueueBytes());
    EXPECT_FALSE(file.HasEnded(0));
}

TEST_F(ProcessPage, SortedOnHeaderClicksAndEndedInOrder)
{
    // Started so that the ids and the names sort differently.
    std::vector<std::string> programs;
    for (const char* name : {"c.exe", "a.exe", "b.exe"})
    {
        programs.push_back(m_dir / name);
        ASSERT_TRUE(::CopyFileA(GetBinPath("orvholder.exe").c_str(), programs.back().c_str(), FALSE));
    }
    CHolder c(CHolder::Load, m_dll, programs[0]);
    CHolder a(CHolder::Load, m_dll, programs[1]);
    CHolder b(CHolder::Load, m_dll, programs[2]);
    ASSERT_TRUE(a.IsHolding() && b.IsHolding() && c.IsHolding());
    ASSERT_TRUE(Open(m_dll));

    EXPECT_EQ((std::vector<std::string>{"a.exe", "b.exe", "c.exe"}), Column(0));
    std::vector<std::pair<DWORD, std::string>> byId = {
        {a.GetProcessId(), "a.exe"}, {b.GetProcessId(), "b.exe"}, {c.GetProcessId(), "c.exe"}};
    std::sort(byId.begin(), byId.end());
    std::vector<std::string> idOrder;
    for (const auto& entry : byId)
        idOrder.push_back(entry.second);
    for (int click = 0; click < 2; ++click)
    {
        ClickListHeader(List(), 1);
        m_wizard.Settle();
        EXPECT_EQ(idOrder, Column(0)) << "click " << click;
    }
    ClickListHeader(List(), 0);
    m_wizard.Settle();
    ASSERT_EQ((std::vector<std::string>{"a.exe", "b.exe", "c.exe"}), Column(0));

    // The three rows, one after the other from the top.
    for (int row = 0; row < 3; ++row)
        ASSERT_TRUE(Select(row));
    ASSERT_TRUE(m_wizard.ClickPageItem(IDC_TERMINATE));
    ASSERT_TRUE(ExpectMessage(Fill(kAskKill, "a.exe"), EBoxIcon::Question, true, IDNO));
    ASSERT_TRUE(ExpectMessage(Fill(kCannotEnd, "a.exe") + SystemText(WAIT_TIMEOUT), EBoxIcon::Hand, false, IDOK));
    ASSERT_TRUE(ExpectMessage(Fill(kAskKill, "b.exe"), EBoxIcon::Question, true, IDYES));
    ASSERT_TRUE(ExpectMessage(Fill(kAskKill, "c.exe"), EBoxIcon::Question, true, IDNO));
    ASSERT_TRUE(ExpectMessage(Fill(kCannotEnd, "c.exe") + SystemText(WAIT_TIMEOUT), EBoxIcon::Hand, false, IDOK));
    EXPECT_TRUE(WaitForRows(2));
    EXPECT_EQ((std::vector<std::string>{"a.exe", "c.exe"}), Column(0));
    for (int row = 0; row < 2; ++row)
        EXPECT_EQ(static_cast<UINT>(INDEXTOOVERLAYMASK(1)), GetListState(List(), row, LVIS_OVERLAYMASK));
    EXPECT_TRUE(b.HasEnded(5000));

    // A refresh starts again from the processes: a has ended meanwhile.
    a.Release();
    ASSERT_TRUE(m_wizard.ClickPageItem(IDC_REFRESH));
    m_wizard.Settle();
    EXPECT_EQ(std::vector<std::string>{"c.exe"}, Column(0));
    EXPECT_EQ(0u, GetListState(List(), 0, LVIS_OVERLAYMASK));
}

TEST_F(ProcessPage, TheWizardDoesNotEndItself)
{
    ASSERT_TRUE(Open(GetBinPath("orvgui.exe")));
    const int count = GetListCount(List());
    ASSERT_GE(count, 1);
    int own = -1;
    for (int i = 0; i < count; ++i)
    {
        if (GetListText(List(), i, 0) == "orvgui.exe")
            own = i;
    }
    ASSERT_GE(own, 0);
    ASSERT_TRUE(Select(own));
    ASSERT_TRUE(m_wizard.ClickPageItem(IDC_TERMINATE));
    ASSERT_TRUE(ExpectMessage(kCannotEndSelf, EBoxIcon::Exclamation, false, IDOK));
    m_wizard.Settle();
    EXPECT_EQ(count, GetListCount(List()));
    EXPECT_EQ(0u, GetListState(List(), own, LVIS_SELECTED | LVIS_OVERLAYMASK));
    EXPECT_FALSE(m_wizard.IsPageItemEnabled(IDC_TERMINATE));
}

// A replacement: each line inspects the file it names, the top line the
// file being replaced, the "avec" line the new file; the page says which.
TEST_F(ProcessPage, ReplaceInspectsEachFileFromItsLine)
{
    // Same name elsewhere: no question about a name that differs.
    const std::string replacement = m_dir.Folder("new") + "\\held.dll";
    ASSERT_TRUE(::CopyFileA(m_dll.c_str(), replacement.c_str(), FALSE));
    CHolder holdsOld(CHolder::Load, m_dll);
    CHolder holdsNew(CHolder::Load, replacement);
    ASSERT_TRUE(holdsOld.IsHolding() && holdsNew.IsHolding());

    ASSERT_TRUE(Open(m_dll, 0, replacement));
    EXPECT_EQ(1, GetListCount(List()));
    EXPECT_GE(RowOf(holdsOld.GetProcessId()), 0);
    EXPECT_EQ(Ansi("Fichier sélectionné: ") + m_dll, m_wizard.GetPageItemText(IDC_PROCESS_FILE));
    TakeScreenshot("375-process-page-file");

    ASSERT_TRUE(m_wizard.PressTo(kBackButton, IDD_SUMMARY));
    const std::vector<STreeLine> tree = m_wizard.ReadTree(IDC_OPERATION_TREE);
    ASSERT_GE(tree.size(), 2u);
    EXPECT_EQ("Remplacer " + m_dll, tree[0].text);
    EXPECT_EQ("avec " + replacement, tree[1].text);
    ASSERT_TRUE(ShowProcesses(1));
    EXPECT_EQ(1, GetListCount(List()));
    EXPECT_GE(RowOf(holdsNew.GetProcessId()), 0);
    EXPECT_EQ(Ansi("Fichier sélectionné: ") + replacement, m_wizard.GetPageItemText(IDC_PROCESS_FILE));
}

// Where the system keeps no handle table (Windows 9x/Me): one line says so,
// and the processes that have the file loaded are listed.
using ProcessPageW98 = ProcessPage;

TEST_F(ProcessPageW98, OneLineSaysThatOnlyLoadedModulesAreFound)
{
    ASSERT_FALSE(IsWindowsNT());
    CHolder loader(CHolder::Load, m_dll);
    CHolder reader(CHolder::Open, m_dll);
    ASSERT_TRUE(loader.IsHolding() && reader.IsHolding());
    ASSERT_TRUE(Open(m_dll));

    EXPECT_EQ(Ansi("Windows 9x/Me n'a pas de table des handles : modules chargés seulement."),
              m_wizard.GetPageItemText(IDC_PROCESS_NOTE));
    ASSERT_EQ(1, GetListCount(List()));
    EXPECT_EQ(FormatText("%lx", static_cast<unsigned long>(loader.GetProcessId())), GetListText(List(), 0, 1));
    EXPECT_EQ(kLoaded, GetListText(List(), 0, 2));
    // No handle is ever closed there.
    EXPECT_FALSE(::IsWindowVisible(m_wizard.GetPageItem(IDC_RELEASE)));
    TakeScreenshot("process-page-9x");
}

} // namespace
