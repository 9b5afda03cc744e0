// orvgui.exe driven as a user drives it: its windows found by process, the
// wizard buttons pressed, fields typed, message boxes read (text, icon) and
// answered, screenshots taken of the X display.
#pragma once

#include "tests/support/TestSupport.h"

#include <windows.h>

#include <commctrl.h>

#include <string>
#include <vector>

// Wizard buttons of the property sheet.
constexpr int kBackButton = 0x3023;
constexpr int kNextButton = 0x3024;
constexpr int kFinishButton = 0x3025;

enum class EBoxIcon
{
    None,
    Hand,
    Question,
    Exclamation,
    Asterisk,
    Unknown,
};

const char* IconName(EBoxIcon icon);

struct SMessageBox
{
    HWND hwnd = nullptr;
    std::string text;
    EBoxIcon icon = EBoxIcon::None;
    bool yesNo = false;  // Yes and No buttons; otherwise OK
};

// One line of a tree view of the program, top to bottom.
struct STreeLine
{
    HTREEITEM item = nullptr;
    int level = 0;  // 0 for a top-level line
    std::string text;
    int image = -1;
    int overlay = 0;
};

class CWizardProcess
{
public:
    // Starts orvgui.exe of the build with the arguments (quoted as needed).
    // folder: the program's current folder (null: this one's).
    explicit CWizardProcess(const std::string& arguments = std::string(), const char* folder = nullptr);
    // Ends the program when a test left it running.
    ~CWizardProcess();

    CWizardProcess(const CWizardProcess&) = delete;
    CWizardProcess& operator=(const CWizardProcess&) = delete;

    bool IsStarted() const { return m_process != nullptr; }
    // True when the program ended within the time.
    bool WaitForExit(DWORD timeoutMs = 10000);

    // The wizard sheet; null when none showed up in time.
    HWND WaitForSheet(DWORD timeoutMs = 20000);
    HWND GetSheet() const { return m_sheet; }

    // The message box that the program shows next (caption "Orvane").
    bool WaitForMessageBox(SMessageBox& box, DWORD timeoutMs = 10000);
    // True when a message box is up now.
    bool HasMessageBox() const;
    // Clicks one of its buttons (IDOK, IDYES, IDNO) and waits until it is gone.
    bool Answer(const SMessageBox& box, int buttonId);
    // The click alone, without waiting.
    bool PostAnswer(const SMessageBox& box, int buttonId) const;
    // A dialog of the program by caption.
    HWND WaitForDialog(const std::string& caption, DWORD timeoutMs = 10000);
    // A shown top-level window of the program by class ("#32768" a menu),
    // other than the sheet.
    HWND WaitForWindow(const char* className, DWORD timeoutMs = 10000) const;

    // The dialog id of the active page; 0 when there is none.
    UINT GetCurrentPage() const;
    bool WaitForPage(UINT dialogId, DWORD timeoutMs = 10000) const;
    HWND GetPageItem(int id) const;
    std::string GetPageItemText(int id) const;
    void TypePageItem(int id, const std::string& text) const;
    // A click on a button of the active page (push, radio or check box).
    bool ClickPageItem(int id) const;
    bool IsPageItemChecked(int id) const;

    // The window of the program that has the keyboard focus.
    HWND GetFocus() const;
    bool IsPageItemEnabled(int id) const;
    // A control of the active page is shown.
    bool IsPageItemVisible(int id) const;
    // The lines of a tree view of the active page, read from the program's
    // memory; empty when it cannot be read.
    std::vector<STreeLine> ReadTree(int id) const;
    // Expands every top-level line of a tree view of the active page.
    void ExpandTree(int id) const;
    bool SelectTreeItem(int id, HTREEITEM item) const;

    // Wizard buttons: shown and enabled, as the user can press them.
    bool IsButtonEnabled(int id) const;
    // Presses a wizard button (or Cancel) when it can be pressed.
    bool Press(int id) const;
    // Presses it and waits for the page it leads to.
    ::testing::AssertionResult PressTo(int id, UINT page, DWORD timeoutMs = 10000) const;
    void PostSysCommand(WPARAM command) const;

    // A key typed on the keyboard, `modifier` (VK_MENU, VK_SHIFT,
    // VK_CONTROL, or 0) held around it: the program's window in front gets
    // it as from a user, through its own message loop. False when no window
    // of the program could be brought to the front.
    bool TypeKey(WORD key, WORD modifier = 0) const;
    // The control id of the focus window when it is a control of the
    // active page; 0 otherwise (nothing, or a window elsewhere).
    int GetPageFocus() const;

    // Waits until the program has handled what was sent to it and painted.
    void Settle() const;

    // Holds the program's thread, and lets it go: what is posted meanwhile
    // is all waiting in its queue when it next looks.
    bool Hold() const;
    void Release() const;

private:
    HWND FindWindowOfProcess(bool (*match)(HWND, const void*), const void* context) const;
    // The process whose windows are the wizard's: the one started, or the
    // 64-bit orvgui.exe that it starts in its place on 64-bit Windows.
    DWORD GetWizardProcessId() const;

    HANDLE m_process = nullptr;
    DWORD m_processId = 0;
    mutable DWORD m_wizardId = 0;
    HWND m_sheet = nullptr;
};

// The wizard's questions before running the list and before leaving with it.
extern const std::string kConfirmRun;
extern const std::string kConfirmQuit;

// The sheet up on the welcome page; the same, then Next to the select page
// (nothing queued).
::testing::AssertionResult ShowsWelcome(CWizardProcess& wizard);
::testing::AssertionResult ShowsSelectPage(CWizardProcess& wizard);

// From the select page: the path typed, Next, and the page that follows;
// then, for ChooseAction, the choice of that action page, Next, and the page
// it leads to.
::testing::AssertionResult SubmitPath(CWizardProcess& wizard, const std::string& path, UINT page);
::testing::AssertionResult ChooseAction(CWizardProcess& wizard, const std::string& path, UINT actionPage,
                                        int radio, UINT page);
// On an action page: the choice clicked, Next, and the page it leads to.
::testing::AssertionResult ChooseOnPage(CWizardProcess& wizard, int radio, UINT page);

// The message box that the program shows next: its text, icon and buttons,
// and the wizard that cannot be used meanwhile, checked; then the screenshot
// (when named) and the answer. Fails when no box comes or it stays.
::testing::AssertionResult ExpectMessage(CWizardProcess& wizard, const std::string& text, EBoxIcon icon,
                                         bool yesNo, int answer, const char* screenshot = nullptr,
                                         DWORD timeoutMs = 10000);

// On the select page: the file of the Run value `valueName` chosen in the
// registry dialog, the link to the value kept or not; the path field then
// holds `file`.
::testing::AssertionResult ChooseFromRegistry(CWizardProcess& wizard, const char* valueName, bool keepLink,
                                              const std::string& file);

// Next on the summary page, its question answered Yes and, when a screenshot
// is named for it, the message that something failed; then the completion page.
::testing::AssertionResult RunList(CWizardProcess& wizard, const char* failureScreenshot = nullptr);

// A test of the wizard on its select page, with an empty restart queue and
// a scratch folder of its own.
class CWizardTest : public CQueueTest
{
protected:
    void SetUp() override { ASSERT_TRUE(ShowsSelectPage(m_wizard)); }

    CWizardProcess m_wizard;
};

// One key typed on the wizard and where the keyboard is afterwards: the
// active page and its control with the focus (0: none of the page's). On a
// choice page `checked` asks that the focused radio button be the checked one.
struct SKeyStep
{
    WORD key;
    WORD modifier;  // VK_MENU, VK_SHIFT, VK_CONTROL or 0
    UINT page;
    int focus;
    bool checked;
};

// Types the steps' keys one after the other; empty when each led where its
// step says, otherwise what the first one that did not found.
std::string TypeKeySteps(const CWizardProcess& wizard, const std::vector<SKeyStep>& steps);

// How far apart the centres of two windows are, in pixels, along the axis
// where they are farther apart.
int GetCentreDistance(HWND a, HWND b);

// The rectangle of a tree line's text in the tree's client area.
RECT GetTreeTextRect(HWND tree, HTREEITEM item);

// Whether the last line of a word-wrapped text control holds one word only,
// its text laid out at the control's width in the font of the program's
// dialogs (8 points "MS Shell Dlg").
bool EndsWithALoneWord(HWND control);

// Text of any window (through WM_GETTEXT, across processes).
std::string GetText(HWND hwnd);

// Which standard icon a message box shows, from the pixels on the screen.
EBoxIcon ReadBoxIcon(HWND box);

// <build>/screenshots/<name>.png of the whole display, when ImageMagick is
// at hand; false otherwise.
bool TakeScreenshot(const std::string& name);

// A list view of the program, read and changed from the test process (the
// item structures pass through memory of the program's own).
int GetListCount(HWND list);
std::string GetListText(HWND list, int row, int column);
UINT GetListState(HWND list, int row, UINT mask);
bool SetListState(HWND list, int row, UINT state, UINT mask);
// Selects and focuses the row whose first column reads `text`; false when
// there is none.
bool SelectListRow(HWND list, const std::string& text);
int GetListColumnWidth(HWND list, int column);
// A click on a header item, as the mouse gives it.
void ClickListHeader(HWND list, int column);
