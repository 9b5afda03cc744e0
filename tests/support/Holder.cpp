// orvholder MODE PATH: keeps PATH in use until its standard input closes.
//   open    PATH   the file opened without any sharing
//   load    PATH   the DLL loaded into this process (no window)
//   dir     PATH   the folder opened for reading; its content can be listed,
//                  but it cannot be removed
//   window  PATH   the DLL loaded, and a top-level window that ends the
//                  program when it is told to close
//   guarded PATH   the DLL loaded, and a process that nobody may open to
//                  end it or wait for it
//   cwd     PATH   the folder as the current folder, and a window
//   both    PATH   the DLL loaded and also opened for reading, and a window
//   pipe    NAME   a named pipe whose client end waits in a read that never
//                  ends (naming such a handle may hang), and a window
//   read    PATH   the file opened for reading, shared for reading only
// Prints "ready" once the object is held. Each "u" on the input tries the
// handle held (a read of the file, the folder's information) and prints
// "used", or "failed <error>".
#include <windows.h>
#include <aclapi.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace
{

DWORD g_mainThread = 0;
HANDLE g_held = INVALID_HANDLE_VALUE;

LRESULT CALLBACK HolderWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DESTROY)
        ::PostQuitMessage(0);
    return ::DefWindowProcA(hwnd, message, wParam, lParam);
}

void AnswerUse()
{
    BY_HANDLE_FILE_INFORMATION info{};
    char byte = 0;
    DWORD read = 0;
    ::SetLastError(0);
    const bool used = ::GetFileInformationByHandle(g_held, &info) &&
                      ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ||
                       (::SetFilePointer(g_held, 0, nullptr, FILE_BEGIN) == 0 &&
                        ::ReadFile(g_held, &byte, 1, &read, nullptr)));
    if (used)
        std::fputs("used\n", stdout);
    else
        std::fprintf(stdout, "failed %lu\n", ::GetLastError());
    std::fflush(stdout);
}

void WaitForInputEnd()
{
    char buffer[64];
    DWORD read = 0;
    while (::ReadFile(::GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof(buffer), &read, nullptr) &&
           read != 0)
    {
        for (DWORD i = 0; i < read; ++i)
        {
            if (buffer[i] == 'u')
                AnswerUse();
        }
    }
}

DWORD WINAPI InputWatcher(void*)
{
    WaitForInputEnd();
    ::PostThreadMessageA(g_mainThread, WM_QUIT, 0, 0);
    return 0;
}

// Runs until the window closes or the input ends.
int RunWindow()
{
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = HolderWindowProc;
    windowClass.hInstance = ::GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "OrvHolderWindow";
    if (!::RegisterClassA(&windowClass) ||
        !::CreateWindowA("OrvHolderWindow", "orvholder", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                         nullptr, nullptr, windowClass.hInstance, nullptr))
        return 1;
    g_mainThread = ::GetCurrentThreadId();
    MSG message;
    // The queue exists before the watcher may post to it.
    ::PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
    std::fputs("ready\n", stdout);
    std::fflush(stdout);
    const HANDLE watcher = ::CreateThread(nullptr, 0, InputWatcher, nullptr, 0, nullptr);
    while (::GetMessageA(&message, nullptr, 0, 0) > 0)
    {
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
    }
    if (watcher)
        ::CloseHandle(watcher);
    return 0;
}

// An empty access list on the process object: no access is granted.
bool GuardProcess()
{
    ACL empty{};
    if (!::InitializeAcl(&empty, sizeof(empty), ACL_REVISION))
        return false;
    return ::SetSecurityInfo(::GetCurrentProcess(), SE_KERNEL_OBJECT,
                             DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr,
                             nullptr, &empty, nullptr) == ERROR_SUCCESS;
}

DWORD WINAPI ReadForever(void* pipe)
{
    char byte = 0;
    DWORD read = 0;
    ::ReadFile(static_cast<HANDLE>(pipe), &byte, 1, &read, nullptr);
    return 0;
}

// A synchronous client end of a pipe nobody writes to, with a read pending.
bool HoldPipe(const char* name)
{
    const std::string path = std::string("\\\\.\\pipe\\") + name;
    const HANDLE server = ::CreateNamedPipeA(path.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_WAIT,
                                             1, 4096, 4096, 0, nullptr);
    if (server == INVALID_HANDLE_VALUE)
        return false;
    const HANDLE client = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                        OPEN_EXISTING, 0, nullptr);
    if (client == INVALID_HANDLE_VALUE)
        return false;
    const HANDLE reader = ::CreateThread(nullptr, 0, ReadForever, client, 0, nullptr);
    if (!reader)
        return false;
    // Until the read is under way.
    ::Sleep(200);
    ::CloseHandle(reader);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3)
    {
        std::fputs("usage: orvholder open|load|dir|window|guarded|cwd|both|pipe|read PATH\n", stderr);
        return 2;
    }
    const char* mode = argv[1];
    HANDLE handle = INVALID_HANDLE_VALUE;
    HMODULE module = nullptr;
    if (std::strcmp(mode, "open") == 0)
        handle = ::CreateFileA(argv[2], GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    else if (std::strcmp(mode, "read") == 0)
        handle = ::CreateFileA(argv[2], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    else if (std::strcmp(mode, "dir") == 0)
        handle = ::CreateFileA(argv[2], GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    else if (std::strcmp(mode, "load") == 0 || std::strcmp(mode, "window") == 0 ||
             std::strcmp(mode, "guarded") == 0)
        module = ::LoadLibraryA(argv[2]);
    else if (std::strcmp(mode, "both") == 0 && (module = ::LoadLibraryA(argv[2])) != nullptr)
        handle = ::CreateFileA(argv[2], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);

    const bool windowed = std::strcmp(mode, "window") == 0 || std::strcmp(mode, "cwd") == 0 ||
                          std::strcmp(mode, "both") == 0 || std::strcmp(mode, "pipe") == 0;
    if (std::strcmp(mode, "cwd") == 0 || std::strcmp(mode, "pipe") == 0)
    {
        const bool held = std::strcmp(mode, "cwd") == 0 ? ::SetCurrentDirectoryA(argv[2]) != FALSE
                                                        : HoldPipe(argv[2]);
        if (!held)
        {
            std::fprintf(stderr, "orvholder: cannot hold %s (%lu)\n", argv[2], ::GetLastError());
            return 1;
        }
        return RunWindow();
    }
    if ((handle == INVALID_HANDLE_VALUE && !module) ||
        (std::strcmp(mode, "both") == 0 && handle == INVALID_HANDLE_VALUE))
    {
        std::fprintf(stderr, "orvholder: cannot hold %s (%lu)\n", argv[2], ::GetLastError());
        return 1;
    }
    if (std::strcmp(mode, "guarded") == 0 && !GuardProcess())
    {
        std::fprintf(stderr, "orvholder: cannot guard the process (%lu)\n", ::GetLastError());
        return 1;
    }
    g_held = handle;
    if (windowed)
        return RunWindow();

    std::fputs("ready\n", stdout);
    std::fflush(stdout);
    WaitForInputEnd();
    if (handle != INVALID_HANDLE_VALUE)
        ::CloseHandle(handle);
    if (module)
        ::FreeLibrary(module);
    return 0;
}
