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

} // namespace
