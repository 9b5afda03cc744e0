// orvholder MODE PATH: keeps PATH in use until its standard input closes.
//   open  PATH   the file opened without any sharing
//   load  PATH   the DLL loaded into this process
//   dir   PATH   the folder opened without any sharing
// Prints "ready" once the object is held.
#include <windows.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    if (argc != 3)
    {
        std::fputs("usage: orvholder open|load|dir PATH\n", stderr);
        return 2;
    }
    HANDLE handle = INVALID_HANDLE_VALUE;
    HMODULE module = nullptr;
    if (std::strcmp(argv[1], "open") == 0)
        handle = ::CreateFileA(argv[2], GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    else if (std::strcmp(argv[1], "dir") == 0)
        handle = ::CreateFileA(argv[2], GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                               FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    else if (std::strcmp(argv[1], "load") == 0)
        module = ::LoadLibraryA(argv[2]);

    if (handle == INVALID_HANDLE_VALUE && !module)
    {
        std::fprintf(stderr, "orvholder: cannot hold %s (%lu)\n", argv[2], ::GetLastError());
        return 1;
    }
    std::fputs("ready\n", stdout);
    std::fflush(stdout);

    char buffer[64];
    DWORD read = 0;
    while (::ReadFile(::GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof(buffer), &read, nullptr) &&
           read != 0)
    {
    }
    if (handle != INVALID_HANDLE_VALUE)
        ::CloseHandle(handle);
    if (module)
        ::FreeLibrary(module);
    return 0;
}
