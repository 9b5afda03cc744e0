// The shipped 32-bit orvgui on 64-bit Windows, which runs its 64-bit build
// in its place: a Run value of the 64-bit view follows its file, a 64-bit
// holder is listed and ended, and the program ends with the one started.
// The test is a 64-bit program: it writes both registry views itself.
#include "engine/Handles.h"
#include "engine/Text.h"
#include "resources/orvgui/resource.h"
#include "tests/gui/GuiDriver.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

namespace
{

const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kValue64[] = "OrvWow64Agent";
const char kValue32[] = "OrvWow32Agent";

// A value of the machine's Run key in one registry view; "<none>" when
// absent.
std::string ReadRunValue(REGSAM view, const char* name)
{
    CRegKey key;
    char data[512] = {};
    DWORD size = sizeof(data) - 1;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_QUERY_VALUE | view, key.Receive()) != ERROR_SUCCESS ||
        ::RegQueryValueExA(key.Get(), name, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size) != ERROR_SUCCESS)
        return "<none>";
    return data;
}

::testing::AssertionResult WriteRunValue(REGSAM view, const char* name, const std::string& data)
{
    CRegKey key;
    LONG result = ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, kRunKey, 0, nullptr, 0, KEY_SET_VALUE | view, nullptr,
                                    key.Receive(), nullptr);
    if (result == ERROR_SUCCESS)
        result = ::RegSetValueExA(key.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                                  static_cast<DWORD>(data.size() + 1));
    if (result != ERROR_SUCCESS)
        return ::testing::AssertionFailure() << name << ": error " << result;
    return ::testing::AssertionSuccess();
}

void DeleteRunValue(REGSAM view, const char* name)
{
    CRegKey key;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_SET_VALUE | view, key.Receive()) == ERROR_SUCCESS)
        ::RegDeleteValueA(key.Get(), name);
}

class Wow64Wizard : public CQueueTest
{
protected:
    void TearDown() override
    {
        DeleteRunValue(KEY_WOW64_64KEY, kValue64);
        DeleteRunValue(KEY_WOW64_32KEY, kValue32);
    }
};

} // namespace

TEST_F(Wow64Wizard, RunValueOfThe64BitViewFollowsItsFile)
{
    const std::string agent = m_dir.File("agent.exe", "a");
    const std::string agent32 = m_dir.File("agent32.exe", "b");
    ASSERT_TRUE(WriteRunValue(KEY_WOW64_64KEY, kValue64, agent + " /tray"));
    ASSERT_TRUE(WriteRunValue(KEY_WOW64_32KEY, kValue32, agent32));

    CWizardProcess wizard;
    ASSERT_TRUE(ShowsSelectPage(wizard));
    // Both views are listed; the value of the 64-bit one travels with its file.
    ASSERT_TRUE(ChooseFromRegistry(wizard, kValue32, false, agent32));
    ASSERT_TRUE(ChooseFromRegistry(wizard, kValue64, true, agent));
    ASSERT_TRUE(wizard.PressTo(kNextButton, IDD_FILE_ACTION));
    ASSERT_TRUE(ChooseOnPage(wizard, IDC_FILE_RENAME, IDD_RENAME_FILE));
    wizard.TypePageItem(IDC_NEW_FILE_NAME, "renamed.exe");
    ASSERT_TRUE(wizard.PressTo(kNextButton, IDD_SUMMARY));
    TakeScreenshot("wow64-summary-autostart");
    ASSERT_TRUE(RunList(wizard));
    EXPECT_TRUE(wizard.Press(kFinishButton));
    EXPECT_TRUE(wizard.WaitForExit());

    EXPECT_TRUE(PathExists(m_dir / "renamed.exe"));
    EXPECT_EQ("\"" + (m_dir / "renamed.exe") + "\" /tray", ReadRunValue(KEY_WOW64_64KEY, kValue64));
    EXPECT_EQ(agent32, ReadRunValue(KEY_WOW64_32KEY, kValue32));
    EXPECT_EQ("<none>", ReadRunValue(KEY_WOW64_32KEY, kValue64));
}

TEST_F(Wow64Wizard, A64BitHolderListedAndEnded)
{
    const std::string dll = m_dir / "held.dll";
    ASSERT_TRUE(CopyFixtureDll(dll));
    CHolder holder(CHolder::Window, dll);
    ASSERT_TRUE(holder.IsHolding());

    CWizardProcess wizard;
    ASSERT_TRUE(ShowsSelectPage(wizard));
    ASSERT_TRUE(ChooseAction(wizard, dll, IDD_FILE_ACTION, IDC_FILE_DELETE, IDD_SUMMARY));
    const std::vector<STreeLine> tree = wizard.ReadTree(IDC_OPERATION_TREE);
    ASSERT_FALSE(tree.empty());
    ASSERT_TRUE(wizard.SelectTreeItem(IDC_OPERATION_TREE, tree[0].item));
    ASSERT_TRUE(wizard.ClickPageItem(IDC_SHOW_PROCESSES));
    ASSERT_TRUE(wizard.WaitForPage(IDD_PROCESSES));
    const HWND list = wizard.GetPageItem(IDC_PROCESS_LIST);
    ASSERT_TRUE(WaitUntil([&] { return GetListCount(list) == 1; }, 10000)) << GetListCount(list);
    EXPECT_EQ("orvholder.exe", GetListText(list, 0, 0));
    EXPECT_EQ(std::to_string(holder.GetProcessId()), GetListText(list, 0, 1));
    EXPECT_EQ(Ansi("n/a (chargé)"), GetListText(list, 0, 2));
    TakeScreenshot("wow64-process-page");

    ASSERT_TRUE(SetListState(list, 0, LVIS_SELECTED, LVIS_SELECTED));
    wizard.Settle();
    ASSERT_TRUE(wizard.ClickPageItem(IDC_TERMINATE));
    EXPECT_TRUE(WaitUntil([&] { return GetListCount(list) == 0; }, 10000));
    EXPECT_TRUE(holder.HasEnded(5000));
    ASSERT_TRUE(wizard.PressTo(kBackButton, IDD_SUMMARY));
    ASSERT_TRUE(RunList(wizard));
    EXPECT_FALSE(PathExists(dll));
    EXPECT_TRUE(wizard.Press(kFinishButton));
    EXPECT_TRUE(wizard.WaitForExit());
}

TEST_F(Wow64Wizard, EndsWithTheProgramStarted)
{
    {
        CWizardProcess wizard;
        ASSERT_TRUE(ShowsWelcome(wizard));
        // Leaving the scope ends the 32-bit program the hard way.
    }
    EXPECT_TRUE(WaitUntil([] { return !IsProcessRunning("orvgui.exe"); }, 10000));
    // Its folder stays until the next run, which removes it.
    char temp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, temp);
    const auto runFolders = [&] {
        WIN32_FIND_DATAA data = {};
        const HANDLE find = ::FindFirstFileA((std::string(temp) + "Orvane-*").c_str(), &data);
        int count = 0;
        for (BOOL more = find != INVALID_HANDLE_VALUE; more; more = ::FindNextFileA(find, &data))
            ++count;
        if (find != INVALID_HANDLE_VALUE)
            ::FindClose(find);
        return count;
    };
    EXPECT_EQ(1, runFolders());
    EXPECT_EQ(2u, RunOrvline("").exitCode);
    EXPECT_EQ(0, runFolders());
}
