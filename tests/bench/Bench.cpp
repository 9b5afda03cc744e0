// orvbench: the yardsticks and fixtures of ./orv bench.
//   orvbench tree DIR FOLDERS FILES   DIR with FOLDERS folders of FILES empty files each
//   orvbench loop DIR                 the least a tree deletion needs: find, delete, remove
//   orvbench queue DIR COUNT          COUNT files in DIR, each queued for deletion at restart
//   orvbench files DIR COUNT          COUNT files in DIR, named as by queue
//   orvbench delete DIR COUNT         deletes the files of files (or queue) by name
//   orvbench summary GUI DIR          orvgui.exe (GUI) started on DIR, driven to the folder
//                                     page; prints the milliseconds from its Next to the
//                                     summary page, the longest the window took to answer
//                                     meanwhile, and the lines of the tree
//   orvbench hold DIR COUNT           COUNT files in DIR held open until "stop"; DIR.ready
//                                     tells that they are
//   orvbench stop                     ends every "hold"
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace
{

bool CreateEmptyFile(const std::string& path)
{
    const HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    ::CloseHandle(file);
    return true;
}

int MakeTree(const std::string& root, int folders, int files)
{
    ::CreateDirectoryA(root.c_str(), nullptr);
    for (int f = 0; f < folders; ++f)
    {
        const std::string folder = root + "\\d" + std::to_string(f);
        if (!::CreateDirectoryA(folder.c_str(), nullptr))
            return 1;
        for (int i = 0; i < files; ++i)
            if (!CreateEmptyFile(folder + "\\f" + std::to_string(i) + ".txt"))
                return 1;
    }
    return 0;
}

bool DeleteTree(const std::string& folder)
{
    WIN32_FIND_DATAA data{};
    const HANDLE find = ::FindFirstFileA((folder + "\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE)
    {
        do
        {
            if (std::strcmp(data.cFileName, ".") == 0 || std::strcmp(data.cFileName, "..") == 0)
                continue;
            const std::string path = folder + "\\" + data.cFileName;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                DeleteTree(path);
            else
                ::DeleteFileA(path.c_str());
        } while (::FindNextFileA(find, &data));
        ::FindClose(find);
    }
    return ::RemoveDirectoryA(folder.c_str()) != FALSE;
}

std::string QueuedName(const std::string& root, int i)
{
    return root + "\\q" + std::to_string(i) + ".txt";
}

int MakeFiles(const std::string& root, int count, bool queue)
{
    ::CreateDirectoryA(root.c_str(), nullptr);
    for (int i = 0; i < count; ++i)
    {
        const std::string path = QueuedName(root, i);
        if (!CreateEmptyFile(path) ||
            (queue && !::MoveFileExA(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)))
            return 1;
    }
    return 0;
}

int DeleteFiles(const std::string& root, int count)
{
    for (int i = 0; i < count; ++i)
        if (!::DeleteFileA(QueuedName(root, i).c_str()))
            return 1;
    return 0;
}

// orvgui driven as a user drives it: its sheet found among the windows of
// its process, the wizard buttons posted, the current page asked.
class CWizardDriver
{
public:
    explicit CWizardDriver(const std::string& program, const std::string& path)
    {
        std::string commandLine = "\"" + program + "\" \"" + path + "\"";
        STARTUPINFOA startup = {};
        startup.cb = sizeof(startup);
        if (::CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &startup, &m_process))
            ::CloseHandle(m_process.hThread);
    }
    ~CWizardDriver()
    {
        if (!m_process.hProcess)
            return;
        ::TerminateProcess(m_process.hProcess, 1);
        ::WaitForSingleObject(m_process.hProcess, 10000);
        ::CloseHandle(m_process.hProcess);
    }
    CWizardDriver(const CWizardDriver&) = delete;
    CWizardDriver& operator=(const CWizardDriver&) = delete;

    bool WaitForSheet()
    {
        for (int i = 0; i < 3000 && !m_sheet; ++i)
        {
            ::EnumWindows(MatchSheet, reinterpret_cast<LPARAM>(this));
            if (!m_sheet)
                ::Sleep(20);
        }
        return m_sheet != nullptr;
    }

    // The sheet's answer to a message, and how long it took to come.
    LRESULT Ask(UINT message, WPARAM wParam, LPARAM lParam, DWORD* waitedMs = nullptr) const
    {
        const DWORD start = ::GetTickCount();
        DWORD_PTR result = 0;
        ::SendMessageTimeoutA(m_sheet, message, wParam, lParam, SMTO_NORMAL, 600000, &result);
        if (waitedMs)
            *waitedMs = ::GetTickCount() - start;
        return static_cast<LRESULT>(result);
    }

    HWND CurrentPage(DWORD* waitedMs = nullptr) const
    {
        return reinterpret_cast<HWND>(Ask(PSM_GETCURRENTPAGEHWND, 0, 0, waitedMs));
    }

    UINT CurrentPageId(DWORD* waitedMs = nullptr) const
    {
        const HWND page = CurrentPage(waitedMs);
        const LRESULT index = page ? Ask(PSM_HWNDTOINDEX, reinterpret_cast<WPARAM>(page), 0) : -1;
        return index < 0 ? 0 : static_cast<UINT>(Ask(PSM_INDEXTOID, static_cast<WPARAM>(index), 0));
    }

    bool WaitForPage(UINT id) const
    {
        for (int i = 0; i < 30000; ++i)
        {
            if (CurrentPageId() == id)
                return true;
            ::Sleep(20);
        }
        return false;
    }

    bool PressNext() const
    {
        const HWND button = ::GetDlgItem(m_sheet, 0x3024);
        for (int i = 0; i < 500 && !(::IsWindowVisible(button) && ::IsWindowEnabled(button)); ++i)
            ::Sleep(20);
        return ::PostMessageA(m_sheet, WM_COMMAND, MAKEWPARAM(0x3024, BN_CLICKED),
                              reinterpret_cast<LPARAM>(button)) != FALSE;
    }

private:
    static BOOL CALLBACK MatchSheet(HWND hwnd, LPARAM lParam)
    {
        auto* driver = reinterpret_cast<CWizardDriver*>(lParam);
        DWORD processId = 0;
        ::GetWindowThreadProcessId(hwnd, &processId);
        char name[16] = {};
        ::GetClassNameA(hwnd, name, sizeof(name));
        if (processId != driver->m_process.dwProcessId || !::IsWindowVisible(hwnd) ||
            std::strcmp(name, "#32770") != 0 || !::GetDlgItem(hwnd, 0x3024))
            return TRUE;
        driver->m_sheet = hwnd;
        return FALSE;
    }

    PROCESS_INFORMATION m_process = {};
    HWND m_sheet = nullptr;
};

// Welcome, selection (the path of the command line), folder action page;
// then the time from Next to the summary page.
int TimeSummaryPage(const std::string& program, const std::string& folder)
{
    const UINT welcome = 365, select = 376, folderAction = 374, summary = 370;
    CWizardDriver wizard(program, folder);
    if (!wizard.WaitForSheet() || !wizard.WaitForPage(welcome) || !wizard.PressNext() ||
        !wizard.WaitForPage(select) || !wizard.PressNext() || !wizard.WaitForPage(folderAction))
        return 1;
    wizard.Ask(WM_NULL, 0, 0);
    ::Sleep(200);

    const DWORD start = ::GetTickCount();
    if (!wizard.PressNext())
        return 1;
    DWORD longest = 0;
    for (;;)
    {
        DWORD waited = 0;
        const UINT page = wizard.CurrentPageId(&waited);
        if (waited > longest)
            longest = waited;
        if (page == summary)
            break;
        if (::GetTickCount() - start > 600000)
            return 1;
        ::Sleep(10);
    }
    const DWORD elapsed = ::GetTickCount() - start;
    const HWND tree = ::GetDlgItem(wizard.CurrentPage(), 1001);
    DWORD_PTR lines = 0;
    ::SendMessageTimeoutA(tree, TVM_GETCOUNT, 0, 0, SMTO_NORMAL, 600000, &lines);
    std::printf("%lu %lu %lu\n", static_cast<unsigned long>(elapsed), static_cast<unsigned long>(longest),
                static_cast<unsigned long>(lines));
    return 0;
}

const char kStopEvent[] = "OrvBenchStopHolding";

int HoldFiles(const std::string& root, int count)
{
    // Created before the files: a "stop" that comes early is not lost.
    const HANDLE stop = ::CreateEventA(nullptr, TRUE, FALSE, kStopEvent);
    if (!stop)
        return 1;
    ::CreateDirectoryA(root.c_str(), nullptr);
    for (int i = 0; i < count; ++i)
    {
        const std::string path = root + "\\f" + std::to_string(i) + ".txt";
        if (::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                          FILE_ATTRIBUTE_NORMAL, nullptr) == INVALID_HANDLE_VALUE)
            return 1;
    }
    if (!CreateEmptyFile(root + ".ready"))
        return 1;
    ::WaitForSingleObject(stop, 600000);
    return 0;
}

int StopHolding()
{
    const HANDLE stop = ::CreateEventA(nullptr, TRUE, FALSE, kStopEvent);
    return stop && ::SetEvent(stop) ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "tree" && argc == 5)
        return MakeTree(argv[2], std::atoi(argv[3]), std::atoi(argv[4]));
    if (mode == "loop" && argc == 3)
        return DeleteTree(argv[2]) ? 0 : 1;
    if (mode == "queue" && argc == 4)
        return MakeFiles(argv[2], std::atoi(argv[3]), true);
    if (mode == "files" && argc == 4)
        return MakeFiles(argv[2], std::atoi(argv[3]), false);
    if (mode == "delete" && argc == 4)
        return DeleteFiles(argv[2], std::atoi(argv[3]));
    if (mode == "summary" && argc == 4)
        return TimeSummaryPage(argv[2], argv[3]);
    if (mode == "hold" && argc == 4)
        return HoldFiles(argv[2], std::atoi(argv[3]));
    if (mode == "stop")
        return StopHolding();
    std::fputs("usage: orvbench tree DIR FOLDERS FILES | loop DIR | queue|files|delete|hold DIR COUNT"
               " | stop | summary GUI DIR\n",
               stderr);
    return 2;
}
