// Files and folders dropped on the wizard from the shell: CF_HDROP and
// "Shell IDList Array" data, played through OLE by the test.
#include "resources/orvgui/resource.h"
#include "tests/gui/DropDriver.h"
#include "tests/gui/GuiDriver.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

namespace
{

class WizardDrops : public CWizardTest
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(::OleInitialize(nullptr)));
        CWizardTest::SetUp();
    }
    void TearDown() override { ::OleUninitialize(); }

    // Drops on the active page and waits until the page has handled it.
    bool Drop(int itemId, CLIPFORMAT format, const std::string& bytes)
    {
        const bool dropped = DropOnWindow(m_wizard.GetPageItem(itemId), format, bytes);
        m_wizard.Settle();
        return dropped;
    }
};

TEST_F(WizardDrops, FirstSuitablePathFillsTheField)
{
    const std::string first = m_dir.File("first.txt", "1");
    const std::string second = m_dir.File("second.txt", "2");
    const std::string folder = m_dir.Folder("folder");

    // Several files: the first one, whatever it names.
    ASSERT_TRUE(Drop(IDC_SELECT_PATH, CF_HDROP, MakeDropFiles({first, second, folder})));
    EXPECT_EQ(first, m_wizard.GetPageItemText(IDC_SELECT_PATH));
    ASSERT_TRUE(Drop(IDC_SELECT_PATH, IdListArrayFormat(), MakeIdListArray({folder, first})));
    EXPECT_EQ(folder, m_wizard.GetPageItemText(IDC_SELECT_PATH));
    // A format the page does not take is refused and changes nothing.
    EXPECT_FALSE(Drop(IDC_SELECT_PATH, CF_TEXT, std::string("C:\\x.txt") + '\0'));
    EXPECT_EQ(folder, m_wizard.GetPageItemText(IDC_SELECT_PATH));

    // The move page takes the first folder among the dropped objects.
    ASSERT_TRUE(ChooseAction(m_wizard, first, IDD_FILE_ACTION, IDC_FILE_MOVE, IDD_MOVE_FILE));
    ASSERT_TRUE(Drop(IDC_MOVE_DESTINATION, CF_HDROP, MakeDropFiles({second, folder, m_dir.Path()})));
    EXPECT_EQ(folder, m_wizard.GetPageItemText(IDC_MOVE_DESTINATION));
    // Nothing suitable: the field stays.
    ASSERT_TRUE(Drop(IDC_MOVE_DESTINATION, IdListArrayFormat(), MakeIdListArray({second})));
    EXPECT_EQ(folder, m_wizard.GetPageItemText(IDC_MOVE_DESTINATION));
    TakeScreenshot("380-move-file-dropped");
    ASSERT_TRUE(m_wizard.PressTo(kNextButton, IDD_SUMMARY));

    // On the summary page a drop opens the select page with the first path.
    ASSERT_TRUE(Drop(IDC_OPERATION_TREE, CF_HDROP, MakeDropFiles({second, first})));
    ASSERT_TRUE(m_wizard.WaitForPage(IDD_SELECT));
    EXPECT_EQ(second, m_wizard.GetPageItemText(IDC_SELECT_PATH));
}

// A typed name and a dropped one that no Western code page holds, through
// the summary and the run: the same names on the disk, in the tree and in
// the report, which they begin in UTF-8.
TEST_F(WizardDrops, NamesBeyondTheCodePageTypedAndDropped)
{
    const std::string report = GetBinPath("orvgui.txt");
    ::DeleteFileA(report.c_str());
    const std::string typed = m_dir.File("日本語.txt", "j");
    const std::string dropped = m_dir.File("Жук.txt", "z");
    const std::string renamed = m_dir / "Ελληνικά.txt";

    ASSERT_TRUE(ChooseAction(m_wizard, typed, IDD_FILE_ACTION, IDC_FILE_DELETE, IDD_SUMMARY));
    ASSERT_TRUE(m_wizard.ClickPageItem(IDC_ADD) && m_wizard.WaitForPage(IDD_SELECT));
    ASSERT_TRUE(Drop(IDC_SELECT_PATH, CF_HDROP, MakeDropFiles({dropped}, true)));
    EXPECT_EQ(dropped, m_wizard.GetPageItemText(IDC_SELECT_PATH));
    ASSERT_TRUE(m_wizard.PressTo(kNextButton, IDD_FILE_ACTION));
    ASSERT_TRUE(ChooseOnPage(m_wizard, IDC_FILE_RENAME, IDD_RENAME_FILE));
    m_wizard.TypePageItem(IDC_NEW_FILE_NAME, "Ελληνικά.txt");
    ASSERT_TRUE(m_wizard.PressTo(kNextButton, IDD_SUMMARY));

    const std::vector<STreeLine> tree = m_wizard.ReadTree(IDC_OPERATION_TREE);
    ASSERT_EQ(5u, tree.size());
    EXPECT_EQ("Supprimer " + typed, tree[0].text);
    EXPECT_EQ("Renommer " + dropped, tree[2].text);
    EXPECT_EQ("vers " + renamed, tree[3].text);
    TakeScreenshot("370-summary-names-beyond-the-code-page");

    ASSERT_TRUE(RunList(m_wizard));
    EXPECT_FALSE(PathExists(typed));
    EXPECT_FALSE(PathExists(dropped));
    EXPECT_EQ("z", ReadFileBytes(renamed));
    const std::string text = ReadFileBytes(report);
    EXPECT_EQ(0u, text.find("\xEF\xBB\xBF")) << text;
    EXPECT_NE(std::string::npos,
              text.find(typed + "\r\nStatut:: " + Ansi("suppression effectuée avec succès") + "\r\n"))
        << text;
    EXPECT_NE(std::string::npos, text.find(renamed + "\r\nStatut:: ")) << text;
    ASSERT_TRUE(m_wizard.Press(kFinishButton));
    EXPECT_TRUE(m_wizard.WaitForExit());
    ::DeleteFileA(report.c_str());
}

} // namespace
