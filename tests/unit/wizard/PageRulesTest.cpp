// Rules of the wizard's pages as plain functions: path names and joins,
// extensions and roots, the version line, the open-file filter and the
// bytes of dropped data, which come from another program.
#include "wizard/FileSystemDropTarget.h"
#include "wizard/PathRules.h"
#include "wizard/ShellChoosers.h"

#include <gtest/gtest.h>

#include <shlobj.h>

#include <string>
#include <vector>

TEST(PathRules, NamesAndJoins)
{
    EXPECT_EQ("a.txt", GetLastComponent("C:\\dir\\a.txt"));
    EXPECT_EQ("name", GetLastComponent("name"));
    EXPECT_EQ("C:\\dir", RemoveTrailingBackslashes("C:\\dir\\\\"));
    EXPECT_EQ("C:\\dir", GetParentFolder("C:\\dir\\a.txt"));

    std::string joined;
    EXPECT_TRUE(JoinPath("C:\\backup.old", "a.txt", joined));
    EXPECT_EQ("C:\\backup.old\\a.txt", joined);
    EXPECT_TRUE(JoinPath("C:\\", "a.txt", joined));
    EXPECT_EQ("C:\\a.txt", joined);
    // Too long for a path buffer: no path at all rather than a cut one.
    EXPECT_FALSE(JoinPath("C:\\" + std::string(250, 'd'), "name.txt", joined));
    EXPECT_EQ("", joined);
}

TEST(PathRules, FullPaths)
{
    for (const char* path : {"C:\\", "c:/dir", "\\\\server\\share\\x", "//server/share", "\\\\?\\C:\\x",
                             "\\\\?\\unc\\server\\share"})
        EXPECT_TRUE(IsFullPath(path)) << path;
    for (const char* path : {"", ".", "..", "a.txt", "C:", "C:..\\x", "\\dir", "/dir", "\\\\\\x", "\\\\.\\C:\\x",
                             "//./C:/x", "//?/C:/x", "\\\\?\\..", "\\\\?\\C:", "\\\\?\\C:/x", "1:\\x"})
        EXPECT_FALSE(IsFullPath(path)) << path;
}

TEST(PathRules, ExtensionsAndRoots)
{
    struct SCase
    {
        const char* a;
        const char* b;
        bool sameExtension;
        bool sameRoot;
    };
    const SCase cases[] = {
        {"C:\\d\\a.txt", "B.TXT", true, false},
        {"C:\\d\\a.txt", "b.doc", false, false},
        {"C:\\d\\a", "b", true, false},
        {"C:\\d.x\\a", "C:\\b", true, true},
        {"c:\\data", "C:\\backup", true, true},
        {"C:\\data", "D:\\backup", true, false},
        {"C:\\data", "newname", true, false},
    };
    for (const SCase& c : cases)
    {
        EXPECT_EQ(c.sameExtension, HaveSameExtension(c.a, c.b)) << c.a << " " << c.b;
        EXPECT_EQ(c.sameRoot, HaveSameRoot(c.a, c.b)) << c.a << " " << c.b;
    }
}

TEST(PathRules, VersionLineAndFilter)
{
    EXPECT_EQ("5.1.2600.2180", FormatFileVersion(0x00050001, 0x0A280884));
    EXPECT_EQ("65535.0.0.65535", FormatFileVersion(0xFFFF0000, 0x0000FFFF));
    EXPECT_EQ(std::string("Tous (*.*)\0*.*\0\0\0\0", 18), MakeFileFilter("Tous (*.*)|*.*||"));
}

namespace
{

std::string Word(WORD value)
{
    return std::string(reinterpret_cast<const char*>(&value), sizeof(value));
}

std::string Dword(UINT value)
{
    return std::string(reinterpret_cast<const char*>(&value), sizeof(value));
}

// One item ID of `size` bytes in all (its size field included).
std::string Item(WORD size, char fill)
{
    return Word(size) + std::string(size - sizeof(WORD), fill);
}

std::vector<std::vector<BYTE>> Join(const std::string& block, bool* sound = nullptr)
{
    std::vector<std::vector<BYTE>> lists;
    const bool result =
        JoinIdListArray(reinterpret_cast<const BYTE*>(block.data()), block.size(), lists);
    if (sound)
        *sound = result;
    return lists;
}

std::string Bytes(const std::vector<BYTE>& list)
{
    return std::string(list.begin(), list.end());
}

} // namespace

TEST(DroppedIdLists, JoinedWithinTheBlockOnly)
{
    const std::string parent = Item(4, 'p') + Word(0);  // offset 16, 6 bytes
    const std::string first = Item(3, 'a') + Word(0);   // offset 22, 5 bytes
    const std::string second = Item(5, 'b') + Word(0);  // offset 27, 7 bytes
    const std::string block = Dword(2) + Dword(16) + Dword(22) + Dword(27) + parent + first + second;
    bool sound = false;
    std::vector<std::vector<BYTE>> lists = Join(block, &sound);
    EXPECT_TRUE(sound);
    ASSERT_EQ(2u, lists.size());
    EXPECT_EQ(Item(4, 'p') + Item(3, 'a') + Word(0), Bytes(lists[0]));
    EXPECT_EQ(Item(4, 'p') + Item(5, 'b') + Word(0), Bytes(lists[1]));

    // What does not fit is left out as a whole, never read past the end.
    struct SCase
    {
        const char* name;
        std::string block;
        bool sound;
        std::size_t lists;
    };
    const SCase cases[] = {
        {"count beyond the offsets", Dword(0x40000000) + Dword(8) + Word(0), false, 0},
        {"count without offsets", Dword(1) + Dword(8), false, 0},
        {"too short for a count", std::string(3, '\0'), false, 0},
        {"item offset past the end", Dword(1) + Dword(12) + Dword(500) + Word(0), true, 0},
        {"parent offset past the end", Dword(1) + Dword(500) + Dword(12) + Word(0), true, 0},
        {"item size past the end", Dword(1) + Dword(12) + Dword(14) + Word(0) + Word(40) + "ab", true, 0},
        {"item size below its field", Dword(1) + Dword(12) + Dword(14) + Word(0) + Word(1) + Word(0), true, 0},
        {"no terminator", Dword(1) + Dword(12) + Dword(14) + Word(0) + Item(4, 'x'), true, 0},
        {"one good, one bad", Dword(2) + Dword(16) + Dword(18) + Dword(99) + Word(0) + Word(0), true, 1},
    };
    for (const SCase& c : cases)
    {
        lists = Join(c.block, &sound);
        EXPECT_EQ(c.sound, sound) << c.name;
        EXPECT_EQ(c.lists, lists.size()) << c.name;
    }
}

TEST(DroppedFileNames, ListMustEndInsideTheBlock)
{
    DROPFILES header{};
    header.pFiles = sizeof(header);
    const std::string head(reinterpret_cast<const char*>(&header), sizeof(header));
    header.fWide = TRUE;
    const std::string wideHead(reinterpret_cast<const char*>(&header), sizeof(header));
    header.pFiles = 4000;
    const std::string farHead(reinterpret_cast<const char*>(&header), sizeof(header));

    struct SCase
    {
        const char* name;
        std::string block;
        bool sound;
    };
    const SCase cases[] = {
        {"two names", head + "C:\\a" + '\0' + "C:\\b" + '\0' + '\0', true},
        {"no names", head + '\0', true},
        {"wide names", wideHead + std::string("C\0:\0\0\0\0\0", 8), true},
        {"last terminator missing", head + "C:\\a" + '\0' + "C:\\b" + '\0', false},
        {"wide list cut", wideHead + std::string("C\0:\0\0\0", 6), false},
        {"names past the end", farHead + std::string(8, '\0'), false},
        {"header cut", head.substr(0, 10), false},
    };
    for (const SCase& c : cases)
        EXPECT_EQ(c.sound, IsDropFilesBlockSound(reinterpret_cast<const BYTE*>(c.block.data()), c.block.size()))
            << c.name;
}
