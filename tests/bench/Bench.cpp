// orvbench: the yardsticks and fixtures of ./orv bench.
//   orvbench tree DIR FOLDERS FILES   DIR with FOLDERS folders of FILES empty files each
//   orvbench loop DIR                 the least a tree deletion needs: find, delete, remove
//   orvbench hello                    a hello-world program, for start-up times
//   orvbench queue DIR COUNT          COUNT files in DIR, each queued for deletion at restart
//   orvbench files DIR COUNT          COUNT files in DIR, named as by queue
//   orvbench delete DIR COUNT         deletes the files of files (or queue) by name
//   orvbench hold DIR COUNT           COUNT files in DIR held open until "stop"; DIR.ready
//                                     tells that they are
//   orvbench stop                     ends every "hold"
#include <windows.h>

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
    if (mode == "hello")
    {
        std::puts("Hello, world!");
        return 0;
    }
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
    if (mode == "hold" && argc == 4)
        return HoldFiles(argv[2], std::atoi(argv[3]));
    if (mode == "stop")
        return StopHolding();
    std::fputs("usage: orvbench tree DIR FOLDERS FILES | loop DIR | hello | queue|files|delete|hold DIR COUNT"
               " | stop\n", stderr);
    return 2;
}
