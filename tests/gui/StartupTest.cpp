// orvgui's start-up with the install and uninstall keywords: the question,
// and the context-menu entry that the answer leaves in the registry.
#include "tests/gui/GuiDriver.h"
#include "tests/support/TestSupport.h"
#include "wizard/ContextMenu.h"

#include <gtest/gtest.h>

#include <shlwapi.h>

namespace
{

const std::string kInstallQuestion =
    Ansi("Voulez-vous activer la prise en charge par le menu contextuel?");
const std::string kRemoveQuestion =
    Ansi("Voulez-vous désactiver la prise en charge par le menu contextuel?");

// The default value's bytes when it is a REG_SZ; "<missing>" otherwise.
std::string ReadDefaultValue(const char* subKey)
{
    std::string bytes;
    DWORD type = REG_NONE;
    return ReadRegistryValue(HKEY_CLASSES_ROOT, subKey, nullptr, bytes, &type) && type == REG_SZ ? bytes
                                                                                               : "<missing>";
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
        SCOPED_TRACE(arguments);
        CWizardProcess orvgui(arguments);
        ASSERT_TRUE(orvgui.IsStarted());
        ASSERT_TRUE(ExpectMessage(orvgui, question, EBoxIcon::Question, true, answer,
                                  answer == IDYES && arguments == "/install" ? "message-53-install-menu"
                                                                             : nullptr));
        EXPECT_TRUE(orvgui.WaitForExit());
        EXPECT_EQ(nullptr, orvgui.GetSheet());
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
