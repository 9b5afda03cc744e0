// Native names as drive paths, and what lies inside a folder.
#include "inspect/NativePaths.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{

const std::vector<SDosDevice> kDevices = {
    {"C:", "\\Device\\HarddiskVolume1"},
    {"D:", "\\Device\\HarddiskVolume10"},
    {"E:", "\\Device\\CdRom0"},
    // The same volume as C: under a second letter.
    {"F:", "\\Device\\HarddiskVolume1"},
};

TEST(MapNativePath, Forms)
{
    struct
    {
        const char* native;
        const char* path;
    } cases[] = {
        // As Wine names files, and the other names of drive letters.
        {"\\??\\C:\\t\\held.txt", "C:\\t\\held.txt"},
        {"\\??\\c:\\windows", "c:\\windows"},
        {"\\GLOBAL??\\D:\\x", "D:\\x"},
        {"\\DosDevices\\E:\\setup.exe", "E:\\setup.exe"},
        {"\\??\\UNC\\server\\share\\f.doc", "\\\\server\\share\\f.doc"},
        // The volume itself, a device without a drive path, nothing after UNC.
        {"\\??\\C:", ""},
        {"\\??\\C:x", ""},
        {"\\??\\1:\\x", ""},
        {"\\??\\UNC\\", ""},
        {"\\??\\pipe\\x", ""},
        // Devices of the drive letters: the first letter of a volume wins,
        // and Volume1 is not the beginning of Volume10.
        {"\\Device\\HarddiskVolume1\\Users\\a.txt", "C:\\Users\\a.txt"},
        {"\\device\\harddiskvolume1\\a", "C:\\a"},
        {"\\Device\\HarddiskVolume10\\a", "D:\\a"},
        {"\\Device\\HarddiskVolume11\\a", ""},
        {"\\Device\\HarddiskVolume1", ""},
        {"\\Device\\HarddiskVolume1\\", ""},
        {"\\Device\\HarddiskVolume2\\a", ""},
        {"\\Device\\NamedPipe\\x", ""},
        // Network redirectors.
        {"\\Device\\Mup\\srv\\share\\a.txt", "\\\\srv\\share\\a.txt"},
        {"\\Device\\LanmanRedirector\\;Z:00000000000abcde\\srv\\share\\a", "\\\\srv\\share\\a"},
        {"\\Device\\LanmanRedirector\\;Z:0000", ""},
        {"", ""},
        {"C:\\plain", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.path, MapNativePath(c.native, kDevices)) << c.native;
}

TEST(IsAtOrBelow, FoldersFilesAndStreams)
{
    struct
    {
        const char* path;
        const char* target;
        bool inside;
    } cases[] = {
        {"C:\\t\\held.txt", "C:\\t\\held.txt", true},
        {"c:\\T\\HELD.TXT", "C:\\t\\held.txt", true},
        {"C:\\t\\held.txt:notes", "C:\\t\\held.txt", true},
        {"C:\\t\\held.txt.bak", "C:\\t\\held.txt", false},
        {"C:\\t\\held", "C:\\t\\held.txt", false},
        {"C:\\t", "C:\\t\\held.txt", false},
        {"C:\\t\\sub\\f.txt", "C:\\t", true},
        {"C:\\t\\sub", "C:\\t\\", true},
        {"C:\\t\\", "C:\\t", true},
        {"C:\\tx\\f.txt", "C:\\t", false},
        {"C:\\t2", "C:\\t", false},
        {"D:\\t\\f", "C:\\t", false},
        {"C:\\anything", "C:\\", true},
        {"C:\\t", "", false},
        {"", "C:\\t", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.inside, IsAtOrBelow(c.path, c.target)) << c.path << " in " << c.target;
}

} // namespace
