// A file picked from a Run value in the wizard: the value follows what
// happens to the file, and the tree and the report say so.
#include "engine/Text.h"
#include "resources/orvgui/resource.h"
#include "tests/gui/GuiDriver.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

namespace
{

const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kValue[] = "OrvWizardAgent";
const char kIdentity[] = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\OrvWizardAgent";

std::string RunValue()
{
    std::string bytes;
    if (!ReadRegistryValue(HKEY_CURRENT_USER, kRunKey, kValue, bytes))
        return "<none>";
    return std::string(bytes.c_str());
}

class AutostartWizard : public CQueueTest
{
protected:
    void TearDown() override { DeleteRegistryValue(HKEY_CURRENT_USER, kRunKey, kValue); }

    // The summary's lines under the operation, then the run and the
    // completion page; the restart is left to the test.
    std::vector<STreeLine> RunFromSummary(CWizardProcess& wizard, const char* screenshot = nullptr)
    {
        std::vector<STreeLine> lines;
        if (!wizard.WaitForPage(IDD_SUMMARY))
            return lines;
        lines = wizard.ReadTree(IDC_OPERATION_TREE);
        if (screenshot)
            TakeScreenshot(screenshot);
        EXPECT_TRUE(RunList(wizard));
        return lines;
    }

    static void Finish(CWizardProcess& wizard, bool restartOffered)
    {
        if (restartOffered)
        {
            EXPECT_TRUE(wizard.ClickPageItem(IDC_NO_RESTART));
            WaitUntil([&] { return wizard.IsPageItemChecked(IDC_NO_RESTART); }, 3000);
        }
        EXPECT_TRUE(wizard.Press(kFinishButton));
        EXPECT_TRUE(wizard.WaitForExit());
    }

    static bool HasLine(const std::vector<STreeLine>& lines, const std::string& text, int image)
    {
        for (const STreeLine& line : lines)
            if (line.level == 1 && line.text == text && line.image == image)
                return true;
        return false;
    }

    static std::string ReportTail(size_t before)
    {
        const std::string text = ReadFileBytes(GetBinPath("orvgui.txt"));
        return text.size() > before ? text.substr(before) : std::string();
    }
};

} // namespace

TEST_F(AutostartWizard, DeleteTakesTheValueOnlyWithTheLink)
{
    enum EThen
    {
        Nothing,
        ChooseAgainUnlinked,  // a second choice replaces the held entry
        TypeOtherFile,        // the entry stays with its own file
        TypeFolderFirst,      // a folder at Next drops the entry
    };
    const struct
    {
        bool keepLink;
        EThen then;
        bool valueFollows;
    } cases[] = {
        {true, Nothing, true},
        {false, Nothing, false},
        {true, ChooseAgainUnlinked, false},
        {true, TypeOtherFile, false},
        {true, TypeFolderFirst, false},
    };
    for (const auto& c : cases)
    {
        const std::string file = m_dir.File("agent tool.exe", "x");
        const std::string other = m_dir.File("other.exe", "x");
        const std::string data = "\"" + file + "\" /min";
        ASSERT_TRUE(WriteRegistryString(HKEY_CURRENT_USER, kRunKey, kValue, data));
        const size_t reportBefore = ReadFileBytes(GetBinPath("orvgui.txt")).size();

        CWizardProcess wizard;
        ASSERT_TRUE(ShowsSelectPage(wizard));
        ASSERT_TRUE(ChooseFromRegistry(wizard, kValue, c.keepLink, file));
        if (c.then == ChooseAgainUnlinked)
        {
            ASSERT_TRUE(ChooseFromRegistry(wizard, kValue, false, file));
        }
        if (c.then == TypeFolderFirst)
        {
            wizard.TypePageItem(IDC_SELECT_PATH, m_dir.Path());
            ASSERT_TRUE(wizard.PressTo(kNextButton, IDD_FOLDER_ACTION));
            ASSERT_TRUE(wizard.PressTo(kBackButton, IDD_SELECT));
        }
        const std::string deleted = c.then == TypeOtherFile ? other : file;
        wizard.TypePageItem(IDC_SELECT_PATH, deleted);
        ASSERT_TRUE(wizard.PressTo(kNextButton, IDD_FILE_ACTION));
        ASSERT_TRUE(wizard.IsPageItemChecked(IDC_FILE_DELETE));
        ASSERT_TRUE(wizard.Press(kNextButton));
        const std::vector<STreeLine> lines =
            RunFromSummary(wizard, c.then == Nothing && c.keepLink ? "370-summary-autostart" : nullptr);
        Finish(wizard, false);

        EXPECT_FALSE(PathExists(deleted));
        EXPECT_EQ(c.valueFollows, HasLine(lines, std::string("Supprimer ") + kIdentity, IMG_TREE_REGISTRY))
            << c.then;
        EXPECT_EQ(c.valueFollows ? "<none>" : data, RunValue()) << c.then;
        const std::string block = std::string(kIdentity) + "\r\nStatut:: " +
                                  SystemAnsi("suppression effectuée avec succès") + "\r\n";
        EXPECT_EQ(c.valueFollows, ReportTail(reportBefore).find(block) != std::string::npos) << c.then;
        DeleteRegistryValue(HKEY_CURRENT_USER, kRunKey, kValue);
        ::DeleteFileA(file.c_str());
        ::DeleteFileA(other.c_str());
    }
}

TEST_F(AutostartWizard, RenameRewritesTheValueWithItsArguments)
{
    const std::string file = m_dir.File("agent.exe", "x");
    ASSERT_TRUE(WriteRegistryString(HKEY_CURRENT_USER, kRunKey, kValue, file + " /min -x"));
    CWizardProcess wizard;
    ASSERT_TRUE(ShowsSelectPage(wizard));
    ASSERT_TRUE(ChooseFromRegistry(wizard, kValue, true, file));
    ASSERT_TRUE(wizard.PressTo(kNextButton, IDD_FILE_ACTION));
    ASSERT_TRUE(wizard.ClickPageItem(IDC_FILE_RENAME));
    wizard.Settle();
    ASSERT_TRUE(wizard.PressTo(kNextButton, IDD_RENAME_FILE));
    wizard.TypePageItem(IDC_NEW_FILE_NAME, "agent new.exe");
    ASSERT_TRUE(wizard.Press(kNextButton));
    const std::vector<STreeLine> lines = RunFromSummary(wizard);
    Finish(wizard, false);

    EXPECT_TRUE(HasLine(lines, Ansi("Mettre à Jour ") + kIdentity, IMG_TREE_REGISTRY));
    EXPECT_TRUE(PathExists(m_dir / "agent new.exe"));
    EXPECT_EQ("\"" + (m_dir / "agent new.exe") + "\" /min -x", RunValue());
}

TEST_F(AutostartWizard, MoveWhileLockedNamesTheDestinationAtOnce)
{
    const std::string file = m_dir.File("locked.exe", "payload");
    const std::string folder = m_dir.Folder("moved");
    ASSERT_TRUE(WriteRegistryString(HKEY_CURRENT_USER, kRunKey, kValue, "\"" + file + "\" /tray"));
    CHolder holder(CHolder::Open, file);
    ASSERT_TRUE(holder.IsHolding());

    CWizardProcess wizard;
    ASSERT_TRUE(ShowsSelectPage(wizard));
    ASSERT_TRUE(ChooseFromRegistry(wizard, kValue, true, file));
    ASSERT_TRUE(wizard.PressTo(kNextButton, IDD_FILE_ACTION));
    ASSERT_TRUE(wizard.ClickPageItem(IDC_FILE_MOVE));
    wizard.Settle();
    ASSERT_TRUE(wizard.PressTo(kNextButton, IDD_MOVE_FILE));
    wizard.TypePageItem(IDC_MOVE_DESTINATION, folder);
    ASSERT_TRUE(wizard.Press(kNextButton));
    RunFromSummary(wizard);
    Finish(wizard, true);

    // Delayed: the file waits for the restart, the value already follows it.
    EXPECT_TRUE(PathExists(file));
    EXPECT_EQ("\"" + folder + "\\locked.exe\" /tray", RunValue());
    holder.Release();
    ASSERT_TRUE(RestartPrefix());
    EXPECT_FALSE(PathExists(file));
    EXPECT_EQ("payload", ReadFileBytes(folder + "\\locked.exe"));
}
