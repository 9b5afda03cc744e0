#include "tests/gui/GuiDriver.h"

#include "engine/Handles.h"
#include "engine/Text.h"
#include "resources/orvgui/resource.h"
#include "window/WizardMessages.h"

#include <commctrl.h>
#include <tlhelp32.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <vector>

namespace
{

const char kProductName[] = "Orvane";

// The boxes of the dialogs tested in this process carry the wizard's title
// and error line, as orvgui sets them at start-up.
class CWizardTexts : public ::testing::Environment
{
public:
    void SetUp() override { SetMessageTexts(IDS_PRODUCT_NAME, IDS_ERROR_CODE); }
};
::testing::Environment* const g_wizardTexts = ::testing::AddGlobalTestEnvironment(new CWizardTexts);

std::string GetClass(HWND hwnd)
{
    char name[64] = {};
    ::GetClassNameA(hwnd, name, sizeof(name));
    return name;
}

// The caption of a top-level window, without sending it anything.
std::string GetCaption(HWND hwnd)
{
    char text[256] = {};
    ::GetWindowTextA(hwnd, text, sizeof(text));
    return text;
}

bool IsDialogWindow(HWND hwnd)
{
    return ::IsWindowVisible(hwnd) && GetClass(hwnd) == "#32770";
}

bool IsSheet(HWND hwnd, const void*)
{
    return IsDialogWindow(hwnd) && ::GetDlgItem(hwnd, kNextButton) != nullptr;
}

bool IsMessageBox(HWND hwnd, const void*)
{
    return IsDialogWindow(hwnd) && !::GetDlgItem(hwnd, kNextButton) &&
           GetCaption(hwnd) == kProductName &&
           (::GetDlgItem(hwnd, IDOK) || ::GetDlgItem(hwnd, IDYES));
}

bool IsOtherWindow(HWND hwnd, const void* className)
{
    return ::IsWindowVisible(hwnd) && GetClass(hwnd) == static_cast<const char*>(className) &&
           !IsSheet(hwnd, nullptr);
}

bool HasCaption(HWND hwnd, const void* caption)
{
    return IsDialogWindow(hwnd) && GetCaption(hwnd) == *static_cast<const std::string*>(caption);
}

LRESULT SendWithTimeout(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    DWORD_PTR result = 0;
    if (!::SendMessageTimeoutA(hwnd, message, wParam, lParam, SMTO_NORMAL, 10000, &result))
        return 0;
    return static_cast<LRESULT>(result);
}

// A block of memory in the process that owns a window, for the messages
// whose parameters point to structures.
class CRemoteBlock
{
public:
    CRemoteBlock(HWND window, std::size_t size) : m_size(size)
    {
        DWORD processId = 0;
        ::GetWindowThreadProcessId(window, &processId);
        m_process.Reset(::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE,
                                      processId));
        if (m_process)
            m_address = ::VirtualAllocEx(m_process.Get(), nullptr, size, MEM_COMMIT, PAGE_READWRITE);
    }
    ~CRemoteBlock()
    {
        if (m_address)
            ::VirtualFreeEx(m_process.Get(), m_address, 0, MEM_RELEASE);
    }
    CRemoteBlock(const CRemoteBlock&) = delete;
    CRemoteBlock& operator=(const CRemoteBlock&) = delete;

    bool IsValid() const { return m_address != nullptr; }
    LPARAM Address(std::size_t offset = 0) const
    {
        return reinterpret_cast<LPARAM>(static_cast<char*>(m_address) + offset);
    }
    bool Write(const void* data, std::size_t size, std::size_t offset = 0) const
    {
        SIZE_T written = 0;
        return offset <= m_size && size <= m_size - offset &&
               ::WriteProcessMemory(m_process.Get(), static_cast<char*>(m_address) + offset, data, size,
                                    &written) &&
               written == size;
    }
    bool Read(void* data, std::size_t size, std::size_t offset = 0) const
    {
        SIZE_T read = 0;
        return offset <= m_size && size <= m_size - offset &&
               ::ReadProcessMemory(m_process.Get(), static_cast<char*>(m_address) + offset, data, size,
                                   &read) &&
               read == size;
    }

private:
    CHandle m_process;
    void* m_address = nullptr;
    std::size_t m_size;
};

bool IsUsable(HWND hwnd)
{
    return hwnd && ::IsWindowVisible(hwnd) && ::IsWindowEnabled(hwnd);
}

// The text of the message box: its one static control that is not the icon.
std::string ReadBoxText(HWND box)
{
    std::string text;
    for (HWND child = ::GetWindow(box, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
    {
        const LONG style = ::GetWindowLongA(child, GWL_STYLE);
        if (GetClass(child) == "Static" && (style & SS_TYPEMASK) != SS_ICON)
            text += GetText(child);
    }
    return text;
}

// 32-bit pixels, 0x00RRGGBB, rows from the top.
struct SPixels
{
    int width = 0;
    int height = 0;
    std::vector<DWORD> bits;
};

struct SBitmapDc
{
    SBitmapDc(int width, int height)
    {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        dc = ::CreateCompatibleDC(nullptr);
        bitmap.Reset(::CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        if (dc && bitmap)
            old = ::SelectObject(dc, bitmap.Get());
    }
    ~SBitmapDc()
    {
        if (old)
            ::SelectObject(dc, old);
        if (dc)
            ::DeleteDC(dc);
    }
    SPixels Read(int width, int height) const
    {
        SPixels pixels;
        pixels.width = width;
        pixels.height = height;
        if (bits)
        {
            const auto* first = static_cast<const DWORD*>(bits);
            pixels.bits.assign(first, first + width * height);
            for (DWORD& pixel : pixels.bits)
                pixel &= 0x00FFFFFF;
        }
        return pixels;
    }

    HDC dc = nullptr;
    CGdiObject bitmap;
    HGDIOBJ old = nullptr;
    void* bits = nullptr;
};

SPixels CaptureScreen(const RECT& rect)
{
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    SBitmapDc target(width, height);
    const HDC screen = ::GetDC(nullptr);
    ::BitBlt(target.dc, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    ::ReleaseDC(nullptr, screen);
    ::GdiFlush();
    return target.Read(width, height);
}

SPixels RenderIcon(HICON icon, int width, int height, DWORD background)
{
    SBitmapDc target(width, height);
    const COLORREF color = RGB((background >> 16) & 0xFF, (background >> 8) & 0xFF, background & 0xFF);
    CGdiObject brush(::CreateSolidBrush(color));
    RECT all = {0, 0, width, height};
    ::FillRect(target.dc, &all, static_cast<HBRUSH>(brush.Get()));
    ::DrawIconEx(target.dc, 0, 0, icon, width, height, 0, nullptr, DI_NORMAL);
    ::GdiFlush();
    return target.Read(width, height);
}

long long Difference(const SPixels& a, const SPixels& b)
{
    if (a.bits.size() != b.bits.size())
        return -1;
    long long sum = 0;
    for (std::size_t i = 0; i < a.bits.size(); ++i)
    {
        for (int shift = 0; shift <= 16; shift += 8)
            sum += std::abs(static_cast<int>((a.bits[i] >> shift) & 0xFF) -
                            static_cast<int>((b.bits[i] >> shift) & 0xFF));
    }
    return sum;
}

std::string ScreenshotDir()
{
    return ORV_SCREENSHOT_DIR;
}

std::string ToWindowsPath(const std::string& unixPath)
{
    std::string path = "Z:" + unixPath;
    for (char& c : path)
    {
        if (c == '/')
            c = '\\';
    }
    return path;
}

} // namespace

const char* IconName(EBoxIcon icon)
{
    switch (icon)
    {
    case EBoxIcon::None:
        return "none";
    case EBoxIcon::Hand:
        return "hand";
    case EBoxIcon::Question:
        return "question";
    case EBoxIcon::Exclamation:
        return "exclamation";
    case EBoxIcon::Asterisk:
        return "asterisk";
    default:
        return "unknown";
    }
}

std::string GetText(HWND hwnd)
{
    // WM_GETTEXT itself: GetWindowText does not ask the controls of another
    // process, whose edits keep their text to themselves.
    char text[1024] = {};
    DWORD_PTR copied = 0;
    if (!hwnd || !::SendMessageTimeoutA(hwnd, WM_GETTEXT, sizeof(text), reinterpret_cast<LPARAM>(text),
                                        SMTO_NORMAL, 10000, &copied))
        return std::string();
    return std::string(text, copied < sizeof(text) ? copied : sizeof(text) - 1);
}

CWizardProcess::CWizardProcess(const std::string& arguments, const char* folder)
{
    std::string commandLine = Quote(GetBinPath("orvgui.exe"));
    if (!arguments.empty())
        commandLine += " " + arguments;
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!StartProcess(nullptr, &commandLine[0], FALSE, 0, nullptr, folder,
                          &startup, &process))
        return;
    ::CloseHandle(process.hThread);
    m_process = process.hProcess;
    m_processId = process.dwProcessId;
}

CWizardProcess::~CWizardProcess()
{
    if (!m_process)
        return;
    if (::WaitForSingleObject(m_process, 0) != WAIT_OBJECT_0)
    {
        ::TerminateProcess(m_process, 1);
        ::WaitForSingleObject(m_process, 10000);
    }
    ::CloseHandle(m_process);
}

bool CWizardProcess::WaitForExit(DWORD timeoutMs)
{
    return m_process && ::WaitForSingleObject(m_process, timeoutMs) == WAIT_OBJECT_0;
}

namespace
{
struct SWindowSearch
{
    DWORD processId;
    bool (*match)(HWND, const void*);
    const void* context;
    HWND found;
};

// A named CALLBACK: a lambda has no __stdcall conversion on i686.
BOOL CALLBACK MatchProcessWindow(HWND hwnd, LPARAM lParam)
{
    auto* search = reinterpret_cast<SWindowSearch*>(lParam);
    DWORD processId = 0;
    ::GetWindowThreadProcessId(hwnd, &processId);
    if (processId != search->processId || !search->match(hwnd, search->context))
        return TRUE;
    search->found = hwnd;
    return FALSE;
}
} // namespace

DWORD CWizardProcess::GetWizardProcessId() const
{
    if (m_wizardId)
        return m_wizardId;
    CFileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = snapshot && ::Process32First(snapshot.Get(), &entry); more;
         more = ::Process32Next(snapshot.Get(), &entry))
    {
        if (entry.th32ParentProcessID == m_processId && IsSameText(entry.szExeFile, "orvgui.exe"))
            return m_wizardId = entry.th32ProcessID;
    }
    return m_processId;
}

HWND CWizardProcess::FindWindowOfProcess(bool (*match)(HWND, const void*), const void* context) const
{
    SWindowSearch search = {GetWizardProcessId(), match, context, nullptr};
    ::EnumWindows(MatchProcessWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND CWizardProcess::WaitForSheet(DWORD timeoutMs)
{
    WaitUntil([&] { return (m_sheet = FindWindowOfProcess(IsSheet, nullptr)) != nullptr; }, timeoutMs);
    if (m_sheet)
        WaitForPage(GetCurrentPage());
    return m_sheet;
}

bool CWizardProcess::HasMessageBox() const
{
    return FindWindowOfProcess(IsMessageBox, nullptr) != nullptr;
}

bool CWizardProcess::WaitForMessageBox(SMessageBox& box, DWORD timeoutMs)
{
    box = SMessageBox();
    if (!WaitUntil([&] { return (box.hwnd = FindWindowOfProcess(IsMessageBox, nullptr)) != nullptr; },
                   timeoutMs))
        return false;
    SendWithTimeout(box.hwnd, WM_NULL, 0, 0);
    box.text = ReadBoxText(box.hwnd);
    box.yesNo = ::GetDlgItem(box.hwnd, IDYES) && ::GetDlgItem(box.hwnd, IDNO);
    box.icon = ReadBoxIcon(box.hwnd);
    return true;
}

bool CWizardProcess::PostAnswer(const SMessageBox& box, int buttonId) const
{
    const HWND button = ::GetDlgItem(box.hwnd, buttonId);
    return IsUsable(button) && ::PostMessageA(box.hwnd, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED),
                                              reinterpret_cast<LPARAM>(button));
}

bool CWizardProcess::Answer(const SMessageBox& box, int buttonId)
{
    if (!PostAnswer(box, buttonId))
        return false;
    const bool closed = WaitUntil([&] { return !::IsWindow(box.hwnd); }, 10000);
    Settle();
    return closed;
}

HWND CWizardProcess::WaitForDialog(const std::string& caption, DWORD timeoutMs)
{
    HWND dialog = nullptr;
    WaitUntil([&] { return (dialog = FindWindowOfProcess(HasCaption, &caption)) != nullptr; },
              timeoutMs);
    if (dialog)
    {
        SendWithTimeout(dialog, WM_NULL, 0, 0);
        ::Sleep(100);
    }
    return dialog;
}

HWND CWizardProcess::WaitForWindow(const char* className, DWORD timeoutMs) const
{
    HWND window = nullptr;
    WaitUntil([&] { return (window = FindWindowOfProcess(IsOtherWindow, className)) != nullptr; }, timeoutMs);
    return window;
}

UINT CWizardProcess::GetCurrentPage() const
{
    if (!m_sheet || !::IsWindow(m_sheet))
        return 0;
    const auto page = reinterpret_cast<HWND>(SendWithTimeout(m_sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
    if (!page)
        return 0;
    const LRESULT index = SendWithTimeout(m_sheet, PSM_HWNDTOINDEX, reinterpret_cast<WPARAM>(page), 0);
    if (index < 0)
        return 0;
    return static_cast<UINT>(SendWithTimeout(m_sheet, PSM_INDEXTOID, static_cast<WPARAM>(index), 0));
}

bool CWizardProcess::WaitForPage(UINT dialogId, DWORD timeoutMs) const
{
    const bool shown = WaitUntil([&] { return GetCurrentPage() == dialogId; }, timeoutMs);
    Settle();
    return shown;
}

HWND CWizardProcess::GetPageItem(int id) const
{
    const auto page = reinterpret_cast<HWND>(SendWithTimeout(m_sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
    return page ? ::GetDlgItem(page, id) : nullptr;
}

std::string CWizardProcess::GetPageItemText(int id) const
{
    return GetText(GetPageItem(id));
}

void CWizardProcess::TypePageItem(int id, const std::string& text) const
{
    SendWithTimeout(GetPageItem(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

bool CWizardProcess::ClickPageItem(int id) const
{
    const HWND item = GetPageItem(id);
    if (!WaitUntil([&] { return IsUsable(item); }, 3000))
        return false;
    ::PostMessageA(item, BM_CLICK, 0, 0);
    return true;
}

bool CWizardProcess::IsPageItemChecked(int id) const
{
    return SendWithTimeout(GetPageItem(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

bool CWizardProcess::IsButtonEnabled(int id) const
{
    return IsUsable(::GetDlgItem(m_sheet, id));
}

bool CWizardProcess::Press(int id) const
{
    // The page that just became active may still have its button request
    // in the queue.
    const HWND button = ::GetDlgItem(m_sheet, id);
    if (!WaitUntil([&] { return IsUsable(button); }, 3000))
        return false;
    ::PostMessageA(m_sheet, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    return true;
}

::testing::AssertionResult CWizardProcess::PressTo(int id, UINT page, DWORD timeoutMs) const
{
    const UINT from = GetCurrentPage();
    if (!Press(id))
        return ::testing::AssertionFailure() << "button " << id << " cannot be pressed on page " << from;
    if (!WaitForPage(page, timeoutMs))
        return ::testing::AssertionFailure() << "page " << GetCurrentPage() << " instead of " << page
                                             << " after button " << id << " on page " << from;
    return ::testing::AssertionSuccess();
}

void CWizardProcess::PostSysCommand(WPARAM command) const
{
    ::PostMessageA(m_sheet, WM_SYSCOMMAND, command, 0);
}

void CWizardProcess::Settle() const
{
    // A sent message is handled once the program's thread is back in a
    // message loop; painting follows when its queue is empty.
    if (m_sheet && ::IsWindow(m_sheet))
        SendWithTimeout(m_sheet, WM_NULL, 0, 0);
    ::Sleep(100);
}

namespace
{
// The thread of the program's windows, opened to be held and let go.
HANDLE OpenWindowThread(HWND window)
{
    const DWORD threadId = window ? ::GetWindowThreadProcessId(window, nullptr) : 0;
    return threadId ? ::OpenThread(THREAD_SUSPEND_RESUME, FALSE, threadId) : nullptr;
}
} // namespace

bool CWizardProcess::Hold() const
{
    CHandle thread(OpenWindowThread(m_sheet));
    return thread && ::SuspendThread(thread.Get()) != static_cast<DWORD>(-1);
}

void CWizardProcess::Release() const
{
    CHandle thread(OpenWindowThread(m_sheet));
    if (thread)
        ::ResumeThread(thread.Get());
}

const std::string kConfirmRun = Ansi("Le/les fichier(s) et/ou dossier(s) sélectionné(s) sont sur le point "
                                     "d'être traités. Voulez-vous continuer?");
const std::string kConfirmQuit = Ansi("Voulez-vous réellement quitter ?");

::testing::AssertionResult ShowsWelcome(CWizardProcess& wizard)
{
    if (!wizard.IsStarted() || !wizard.WaitForSheet())
        return ::testing::AssertionFailure() << "no wizard sheet";
    if (!wizard.WaitForPage(IDD_WELCOME))
        return ::testing::AssertionFailure() << "page " << wizard.GetCurrentPage() << " instead of the welcome";
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult ShowsSelectPage(CWizardProcess& wizard)
{
    const ::testing::AssertionResult welcome = ShowsWelcome(wizard);
    return welcome ? wizard.PressTo(kNextButton, IDD_SELECT) : welcome;
}

::testing::AssertionResult SubmitPath(CWizardProcess& wizard, const std::string& path, UINT page)
{
    if (wizard.GetCurrentPage() != IDD_SELECT)
        return ::testing::AssertionFailure() << "page " << wizard.GetCurrentPage() << " instead of the select";
    wizard.TypePageItem(IDC_SELECT_PATH, path);
    return wizard.PressTo(kNextButton, page) << " (" << path << ")";
}

::testing::AssertionResult ChooseAction(CWizardProcess& wizard, const std::string& path, UINT actionPage,
                                        int radio, UINT page)
{
    ::testing::AssertionResult reached = SubmitPath(wizard, path, actionPage);
    if (reached)
        reached = ChooseOnPage(wizard, radio, page);
    return reached << " (" << path << ")";
}

::testing::AssertionResult ChooseOnPage(CWizardProcess& wizard, int radio, UINT page)
{
    if (!wizard.ClickPageItem(radio))
        return ::testing::AssertionFailure() << "choice " << radio << " cannot be clicked";
    wizard.Settle();
    return wizard.PressTo(kNextButton, page);
}

::testing::AssertionResult ExpectMessage(CWizardProcess& wizard, const std::string& text, EBoxIcon icon,
                                         bool yesNo, int answer, const char* screenshot, DWORD timeoutMs)
{
    SMessageBox box;
    if (!wizard.WaitForMessageBox(box, timeoutMs))
        return ::testing::AssertionFailure() << "no message box: " << text;
    EXPECT_EQ(text, box.text);
    EXPECT_STREQ(IconName(icon), IconName(box.icon)) << text;
    EXPECT_EQ(yesNo, box.yesNo) << text;
    EXPECT_FALSE(::IsWindowEnabled(wizard.GetSheet())) << text;
    if (screenshot)
        TakeScreenshot(screenshot);
    if (!wizard.Answer(box, answer))
        return ::testing::AssertionFailure() << "the box stayed: " << box.text;
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult ChooseFromRegistry(CWizardProcess& wizard, const char* valueName, bool keepLink,
                                              const std::string& file)
{
    // What the menu item "un Fichier depuis le &Registre" sends.
    ::PostMessageA(::GetParent(wizard.GetPageItem(IDC_SELECT_PATH)), WM_COMMAND,
                   MAKEWPARAM(IDM_SELECT_REGISTRY_FILE, 0), 0);
    const HWND dialog = wizard.WaitForDialog(Ansi("Selectionner un Fichier Depuis la Base de Registre"));
    if (!dialog)
        return ::testing::AssertionFailure() << "the registry dialog did not open";
    // Over the middle of the wizard.
    EXPECT_LE(GetCentreDistance(dialog, wizard.GetSheet()), 1);
    if (!SelectListRow(::GetDlgItem(dialog, IDC_REGISTRY_LIST), valueName))
        return ::testing::AssertionFailure() << "no row " << valueName;
    if (!keepLink)
        ::PostMessageA(::GetDlgItem(dialog, IDC_KEEP_REGISTRY_LINK), BM_CLICK, 0, 0);
    if (!WaitUntil([&] { return ::IsWindowEnabled(::GetDlgItem(dialog, IDOK)) != FALSE; }, 3000))
        return ::testing::AssertionFailure() << "OK stays disabled";
    ::PostMessageA(::GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    if (!WaitUntil([&] { return !::IsWindow(dialog); }, 5000))
        return ::testing::AssertionFailure() << "the dialog stays open";
    wizard.Settle();
    EXPECT_EQ(file, wizard.GetPageItemText(IDC_SELECT_PATH));
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult RunList(CWizardProcess& wizard, const char* failureScreenshot)
{
    if (!wizard.Press(kNextButton))
        return ::testing::AssertionFailure() << "Next cannot be pressed on page " << wizard.GetCurrentPage();
    ::testing::AssertionResult ran = ExpectMessage(wizard, kConfirmRun, EBoxIcon::Question, true, IDYES);
    if (ran && failureScreenshot)
        ran = ExpectMessage(wizard, Ansi("Une erreur est survenue pendant le traitement du/des fichier(s)"),
                            EBoxIcon::Exclamation, false, IDOK, failureScreenshot);
    if (ran && !wizard.WaitForPage(IDD_COMPLETE))
        ran = ::testing::AssertionFailure() << "page " << wizard.GetCurrentPage() << " instead of the completion";
    return ran;
}

EBoxIcon ReadBoxIcon(HWND box)
{
    HWND iconWindow = nullptr;
    for (HWND child = ::GetWindow(box, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
    {
        const LONG style = ::GetWindowLongA(child, GWL_STYLE);
        if (GetClass(child) == "Static" && (style & SS_TYPEMASK) == SS_ICON && ::IsWindowVisible(child))
            iconWindow = child;
    }
    if (!iconWindow)
        return EBoxIcon::None;
    RECT rect = {};
    ::GetWindowRect(iconWindow, &rect);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0)
        return EBoxIcon::None;

    struct SCandidate
    {
        EBoxIcon icon;
        LPCSTR id;
    };
    const SCandidate candidates[] = {{EBoxIcon::Hand, IDI_HAND},
                                     {EBoxIcon::Question, IDI_QUESTION},
                                     {EBoxIcon::Exclamation, IDI_EXCLAMATION},
                                     {EBoxIcon::Asterisk, IDI_ASTERISK}};

    // The box may still be painting: look again until one picture matches.
    EBoxIcon best = EBoxIcon::Unknown;
    WaitUntil(
        [&] {
            const SPixels shown = CaptureScreen(rect);
            if (shown.bits.empty())
                return false;
            long long bestDifference = -1;
            for (const SCandidate& candidate : candidates)
            {
                const SPixels drawn =
                    RenderIcon(::LoadIconA(nullptr, candidate.id), width, height, shown.bits[0]);
                const long long difference = Difference(shown, drawn);
                if (difference >= 0 && (bestDifference < 0 || difference < bestDifference))
                {
                    bestDifference = difference;
                    best = candidate.icon;
                }
            }
            // Tolerance for blending that differs by one step here and there.
            if (bestDifference >= 0 && bestDifference <= static_cast<long long>(width) * height / 4)
                return true;
            best = EBoxIcon::Unknown;
            return false;
        },
        3000);
    return best;
}

bool TakeScreenshot(const std::string& name)
{
    // ImageMagick on the X display, started through Wine as a Unix program;
    // the file appears under its final name only once it is complete.
    if (!PathExists("Z:\\usr\\bin\\import"))
        return false;
    const std::string dir = ScreenshotDir();
    const std::string file = dir + "/" + name + ".png";
    const std::string windowsFile = ToWindowsPath(file);
    ::DeleteFileA(windowsFile.c_str());
    std::string commandLine = "sh -c \"mkdir -p '" + dir + "' && /usr/bin/import -window root png:'" +
                              file + ".part' && mv '" + file + ".part' '" + file + "'\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!StartProcess("Z:\\bin\\sh", &commandLine[0], FALSE, 0, nullptr,
                          nullptr, &startup, &process))
        return false;
    // No handle is closed: for a Unix program Wine returns no process or
    // thread handle, and some versions leave stale stack values in their
    // place, which would close an unrelated handle of this process (a
    // holder's input, say) at random.
    return WaitUntil([&] { return PathExists(windowsFile); }, 10000);
}

namespace
{

bool IsExtendedKey(WORD key)
{
    switch (key)
    {
    case VK_LEFT:
    case VK_RIGHT:
    case VK_UP:
    case VK_DOWN:
    case VK_HOME:
    case VK_END:
    case VK_PRIOR:
    case VK_NEXT:
    case VK_INSERT:
    case VK_DELETE:
        return true;
    default:
        return false;
    }
}

INPUT KeyInput(WORD key, bool up)
{
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.wScan = static_cast<WORD>(::MapVirtualKeyA(key, 0));
    input.ki.dwFlags = (up ? KEYEVENTF_KEYUP : 0) | (IsExtendedKey(key) ? KEYEVENTF_EXTENDEDKEY : 0);
    return input;
}

} // namespace

bool CWizardProcess::TypeKey(WORD key, WORD modifier) const
{
    if (!m_sheet)
        return false;
    // The keyboard goes to the window in front: the sheet, or the box or
    // dialog that the program shows over it.
    const auto inFront = [&] {
        DWORD processId = 0;
        ::GetWindowThreadProcessId(::GetForegroundWindow(), &processId);
        return processId == GetWizardProcessId();
    };
    if (!inFront())
        ::SetForegroundWindow(m_sheet);
    if (!WaitUntil(inFront, 3000))
        return false;
    std::vector<INPUT> inputs;
    if (modifier)
        inputs.push_back(KeyInput(modifier, false));
    inputs.push_back(KeyInput(key, false));
    inputs.push_back(KeyInput(key, true));
    if (modifier)
        inputs.push_back(KeyInput(modifier, true));
    const UINT sent = ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    Settle();
    return sent == inputs.size();
}

std::string TypeKeySteps(const CWizardProcess& wizard, const std::vector<SKeyStep>& steps)
{
    for (std::size_t i = 0; i < steps.size(); ++i)
    {
        const SKeyStep& step = steps[i];
        const auto landed = [&] {
            return wizard.GetCurrentPage() == step.page && wizard.GetPageFocus() == step.focus &&
                   (!step.checked || wizard.IsPageItemChecked(step.focus));
        };
        if (!wizard.TypeKey(step.key, step.modifier))
            return "step " + std::to_string(i) + ": the key could not be typed";
        if (!WaitUntil(landed, 3000))
        {
            const int focus = wizard.GetPageFocus();
            return "step " + std::to_string(i) + " (key " + std::to_string(step.key) + "): page " +
                   std::to_string(wizard.GetCurrentPage()) + ", focus " + std::to_string(focus) +
                   (wizard.IsPageItemChecked(focus) ? " checked" : " not checked") + "; expected page " +
                   std::to_string(step.page) + ", focus " + std::to_string(step.focus);
        }
    }
    return std::string();
}

int CWizardProcess::GetPageFocus() const
{
    const HWND focus = GetFocus();
    const auto page = reinterpret_cast<HWND>(SendWithTimeout(m_sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
    return focus && page && ::GetParent(focus) == page ? ::GetDlgCtrlID(focus) : 0;
}

HWND CWizardProcess::GetFocus() const
{
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    const DWORD thread = ::GetWindowThreadProcessId(m_sheet, nullptr);
    return thread && ::GetGUIThreadInfo(thread, &info) ? info.hwndFocus : nullptr;
}

bool CWizardProcess::IsPageItemEnabled(int id) const
{
    const HWND item = GetPageItem(id);
    return item && ::IsWindowEnabled(item);
}

bool CWizardProcess::IsPageItemVisible(int id) const
{
    const HWND item = GetPageItem(id);
    return item && ::IsWindowVisible(item);
}

std::vector<STreeLine> CWizardProcess::ReadTree(int id) const
{
    std::vector<STreeLine> lines;
    const HWND tree = GetPageItem(id);
    // The item description and its text live in the program's memory.
    char text[1024] = {};
    CRemoteBlock block(tree, sizeof(TVITEMA) + sizeof(text));
    if (!tree || !block.IsValid())
        return lines;

    const auto next = [&](HTREEITEM item, UINT code) {
        return reinterpret_cast<HTREEITEM>(
            SendWithTimeout(tree, TVM_GETNEXTITEM, code, reinterpret_cast<LPARAM>(item)));
    };
    const auto read = [&](HTREEITEM item, int level) {
        TVITEMA query{};
        query.mask = TVIF_HANDLE | TVIF_TEXT | TVIF_IMAGE | TVIF_STATE;
        query.hItem = item;
        query.stateMask = TVIS_OVERLAYMASK;
        query.pszText = reinterpret_cast<char*>(block.Address(sizeof(TVITEMA)));
        query.cchTextMax = sizeof(text);
        STreeLine line;
        line.item = item;
        line.level = level;
        if (block.Write(&query, sizeof(query)) && SendWithTimeout(tree, TVM_GETITEMA, 0, block.Address()) &&
            block.Read(&query, sizeof(query)) && block.Read(text, sizeof(text) - 1, sizeof(TVITEMA)))
        {
            line.text = text;
            line.image = query.iImage;
            line.overlay = static_cast<int>((query.state & TVIS_OVERLAYMASK) >> 8);
        }
        lines.push_back(line);
    };
    for (HTREEITEM top = next(nullptr, TVGN_ROOT); top; top = next(top, TVGN_NEXT))
    {
        read(top, 0);
        for (HTREEITEM child = next(top, TVGN_CHILD); child; child = next(child, TVGN_NEXT))
            read(child, 1);
    }
    return lines;
}

void CWizardProcess::ExpandTree(int id) const
{
    const HWND tree = GetPageItem(id);
    const auto next = [&](HTREEITEM item, UINT code) {
        return reinterpret_cast<HTREEITEM>(
            SendWithTimeout(tree, TVM_GETNEXTITEM, code, reinterpret_cast<LPARAM>(item)));
    };
    // Expanding a line lays the tree out and paints it again: only the lines
    // still closed, with the painting held until the last.
    SendWithTimeout(tree, WM_SETREDRAW, FALSE, 0);
    for (HTREEITEM top = next(nullptr, TVGN_ROOT); top; top = next(top, TVGN_NEXT))
    {
        if (!(SendWithTimeout(tree, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(top), TVIS_EXPANDED) &
              TVIS_EXPANDED))
            SendWithTimeout(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(top));
    }
    SendWithTimeout(tree, WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(tree, nullptr, TRUE);
}

bool CWizardProcess::SelectTreeItem(int id, HTREEITEM item) const
{
    const bool selected =
        SendWithTimeout(GetPageItem(id), TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item)) != 0;
    Settle();
    return selected;
}

int GetCentreDistance(HWND a, HWND b)
{
    RECT first{};
    RECT second{};
    if (!::GetWindowRect(a, &first) || !::GetWindowRect(b, &second))
        return INT_MAX;
    // Twice the centres, to stay in whole pixels.
    const int dx = std::abs((first.left + first.right) - (second.left + second.right)) / 2;
    const int dy = std::abs((first.top + first.bottom) - (second.top + second.bottom)) / 2;
    return std::max(dx, dy);
}

RECT GetTreeTextRect(HWND tree, HTREEITEM item)
{
    RECT rect{};
    CRemoteBlock block(tree, sizeof(RECT));
    // In: the item handle where the rectangle goes; out: the rectangle.
    if (block.IsValid() && block.Write(&item, sizeof(item)) &&
        SendWithTimeout(tree, TVM_GETITEMRECT, TRUE, block.Address()))
        block.Read(&rect, sizeof(rect));
    return rect;
}

bool EndsWithALoneWord(HWND control)
{
    const std::string text = GetText(control);
    const std::size_t blank = text.find_last_of(' ');
    RECT client{};
    if (blank == std::string::npos || !::GetClientRect(control, &client))
        return false;
    const HDC dc = ::GetDC(nullptr);
    // The font a dialog template with "FONT 8, "MS Shell Dlg"" gets.
    CGdiObject font(::CreateFontA(-::MulDiv(8, ::GetDeviceCaps(dc, LOGPIXELSY), 72), 0, 0, 0, FW_NORMAL,
                                  FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                  CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, "MS Shell Dlg"));
    const HGDIOBJ old = ::SelectObject(dc, font.Get());
    const auto height = [&](const std::string& part) {
        RECT area = {0, 0, client.right, 0};
        ::DrawTextA(dc, part.c_str(), static_cast<int>(part.size()), &area,
                    DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS);
        return area.bottom;
    };
    // Alone when leaving it out takes a line away.
    const bool alone = height(text.substr(0, blank)) < height(text);
    ::SelectObject(dc, old);
    ::ReleaseDC(nullptr, dc);
    return alone;
}

int GetListCount(HWND list)
{
    return static_cast<int>(SendWithTimeout(list, LVM_GETITEMCOUNT, 0, 0));
}

std::string GetListText(HWND list, int row, int column)
{
    char text[512] = {};
    CRemoteBlock block(list, sizeof(LVITEMA) + sizeof(text));
    if (!block.IsValid())
        return std::string();
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = reinterpret_cast<char*>(block.Address(sizeof(LVITEMA)));
    item.cchTextMax = sizeof(text);
    if (!block.Write(&item, sizeof(item)) || !block.Write(text, sizeof(text), sizeof(LVITEMA)))
        return std::string();
    SendWithTimeout(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), block.Address());
    if (!block.Read(text, sizeof(text), sizeof(LVITEMA)))
        return std::string();
    text[sizeof(text) - 1] = '\0';
    return text;
}

UINT GetListState(HWND list, int row, UINT mask)
{
    return static_cast<UINT>(SendWithTimeout(list, LVM_GETITEMSTATE, static_cast<WPARAM>(row), mask));
}

bool SetListState(HWND list, int row, UINT state, UINT mask)
{
    CRemoteBlock block(list, sizeof(LVITEMA));
    LVITEMA item = {};
    item.state = state;
    item.stateMask = mask;
    return block.IsValid() && block.Write(&item, sizeof(item)) &&
           SendWithTimeout(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), block.Address()) != 0;
}

bool SelectListRow(HWND list, const std::string& text)
{
    // The search and its text in the program's memory.
    CRemoteBlock block(list, sizeof(LVFINDINFOA) + text.size() + 1);
    LVFINDINFOA find{};
    find.flags = LVFI_STRING;
    find.psz = reinterpret_cast<const char*>(block.Address(sizeof(LVFINDINFOA)));
    if (!block.IsValid() || !block.Write(&find, sizeof(find)) ||
        !block.Write(text.c_str(), text.size() + 1, sizeof(LVFINDINFOA)))
        return false;
    const auto row = static_cast<int>(SendWithTimeout(list, LVM_FINDITEMA, static_cast<WPARAM>(-1), block.Address()));
    return row >= 0 && SetListState(list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
}

int GetListColumnWidth(HWND list, int column)
{
    return static_cast<int>(SendWithTimeout(list, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column), 0));
}

void ClickListHeader(HWND list, int column)
{
    const auto header = reinterpret_cast<HWND>(SendWithTimeout(list, LVM_GETHEADER, 0, 0));
    int x = 0;
    for (int i = 0; i < column; ++i)
        x += GetListColumnWidth(list, i);
    x += GetListColumnWidth(list, column) / 2;
    const LPARAM point = MAKELPARAM(x, 5);
    ::PostMessageA(header, WM_LBUTTONDOWN, MK_LBUTTON, point);
    ::PostMessageA(header, WM_LBUTTONUP, 0, point);
    SendWithTimeout(list, WM_NULL, 0, 0);
}
