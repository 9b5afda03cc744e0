// orvgui's start-up with the install and uninstall keywords: the question,
// and the context-menu entry that the answer leaves in the registry.
#include "ContextMenu.h"
#include "GuiDriver.h"
#include "Handles.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <shlwapi.h>

namespace
{

const std::string kInstallQuestion =
    Ansi("Voulez-vous activer la prise en charge par le menu contextuel?");
const std::string kRemoveQuestion =
    Ansi("Voulez-vous désactiver la prise en charge par le menu contextuel?");

std::string ReadDefaultValue(const char* subKey)
{
    CRegKey key;
    if (::RegOpenKeyExA(HKEY_CLASSES_ROOT, subKey, 0, KEY_READ, key.Receive()) != ERROR_SUCCESS)
        return "<missing>";
    char data[1024] = {};
    DWORD size = sizeof(data) - 1;
    DWORD type = REG_NONE;
    if (::RegQueryValueExA(key.Get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(data), &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ)
        return "<missing>";
    return std::string(data, size);
}

class Startup : public ::testing::Test
{
protected:
    void SetUp() override { ::SHDeleteKeyA(HKEY_CLASSES_ROOT, kContextMenuShellKey); }
    void TearDown() override { ::SHDeleteKeyA(HKEY_CLASSES_ROOT, kContextMenuShellKey); }

    // Starts orvgui with the arguments, answers its one question and
    // checks that it ends without showing the wizard.
    static void AnswerQuestion(const std::string& arguments, const std::string& question, int answer)
    {
        CWizardProcess orvgui(arguments);
        ASSERT_TRUE(orvgui.IsStarted());
        SMessageBox box;
        ASSERT_TRUE(orvgui.WaitForMessageBox(box)) << arguments;
        EXPECT_EQ(question, box.text) << arguments;
        EXPECT_STREQ("question", IconName(box.icon)) << arguments;
        EXPECT_TRUE(box.yesNo) << arguments;
        if (answer == IDYES && arguments == "/install")
            TakeScreenshot("message-53-install-menu");
        ASSERT_TRUE(orvgui.Answer(box, answer)) << arguments;
        EXPECT_TRUE(orvgui.WaitForExit()) << arguments;
        EXPECT_EQ(nullptr, orvgui.GetSheet()) << arguments;
    }
};

TEST_F(Startup, InstallAndUninstallAskFirst)
{
    const std::string command = "\"" + GetBinPath("orvgui.exe") + "\" \"%1\"" + std::string(1, '\0');

    AnswerQuestion("-i", kInstallQuestion, IDNO);
    EXPECT_EQ("<missing>", ReadDefaultValue(kContextMenuCommandKey));

    AnswerQuestion("/install", kInstallQuestion, IDYES);
    EXPECT_EQ(Ansi("Ouvrir dans &Orvane...") + std::string(1, '\0'), ReadDefaultValue(kContextMenuVerbKey));
    EXPECT_EQ(command, ReadDefaultValue(kContextMenuCommandKey));

    AnswerQuestion("/uninstall", kRemoveQuestion, IDNO);
    EXPECT_EQ(command, ReadDefaultValue(kContextMenuCommandKey));

    // Both keywords: only the install question is asked.
    AnswerQuestion("/uninstall /install", kInstallQuestion, IDNO);
    EXPECT_EQ(command, ReadDefaultValue(kContextMenuCommandKey));

    AnswerQuestion("/UN", kRemoveQuestion, IDYES);
    EXPECT_EQ("<missing>", ReadDefaultValue(kContextMenuVerbKey));
}

} // namespace
