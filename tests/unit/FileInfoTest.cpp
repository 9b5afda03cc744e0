// Operations and the operation list on real files.
#include "engine/FileInfo.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

namespace
{

std::vector<std::string> Sources(const CFileInfoList& list)
{
    std::vector<std::string> sources;
    for (std::size_t i = 0; i < list.GetCount(); ++i)
        sources.push_back(list.GetAt(i)->GetSource());
    return sources;
}

// Stops the pass when told `stopAt`; keeps what it was told.
class CStopAt : public CProgress
{
public:
    explicit CStopAt(std::size_t stopAt) : m_stopAt(stopAt) {}
    bool Continue(std::size_t done) override
    {
        told.push_back(done);
        return done != m_stopAt;
    }
    std::vector<std::size_t> told;

private:
    std::size_t m_stopAt;
};

} // namespace

TEST(FileInfo, ActionInference)
{
    CScratchDir dir;
    const std::string file = dir.File("a.txt", "a");
    const std::string other = dir.File("b.txt", "b");
    const std::string folder = dir.Folder("sub");

    struct
    {
        std::string source, destination;
        LONG action;
        bool directory;
    } cases[] = {
        {file, "", ActionDelete, false},
        {folder, "", ActionDelete, true},
        {file, dir / "new.txt", ActionRename, false},
        {file, folder + "\\new.txt", ActionMove, false},
        {file, other, ActionReplace, false},
        // An existing folder as destination of a file: Replace.
        {file, folder, ActionReplace, false},
        // A folder never replaces: Rename or Move.
        {folder, other, ActionRename, true},
        {folder, "C:\\elsewhere\\x", ActionMove, true},
        // A missing source is no error at construction.
        {dir / "missing", dir / "gone", ActionRename, false},
        // Letter case does not make another folder.
        {file, dir.Path() + "\\..\\" + "x", ActionMove, false},
    };
    for (const auto& c : cases)
    {
        CFileInfo item(c.source, c.destination, nullptr);
        EXPECT_EQ(c.action, item.GetAction()) << c.source << " -> " << c.destination;
        EXPECT_EQ(c.directory, item.IsDirectory()) << c.source;
        EXPECT_EQ(StatusNotProcessed, item.GetStatus());
        EXPECT_EQ(0u, item.GetErrorCode());
        EXPECT_FALSE(item.IsProtected());
    }

    std::string upper = dir.Path();
    CharUpperA(&upper[0]);
    CFileInfo sameFolder(file, upper + "\\renamed.txt", nullptr);
    EXPECT_EQ(ActionRename, sameFolder.GetAction());
}

TEST(FileInfo, TextsOfTheOperation)
{
    CFileInfo deletion("C:\\x\\a.txt", "", nullptr);
    EXPECT_EQ("C:\\x\\a.txt", deletion.GetReportPath());
    EXPECT_EQ("pas traite", deletion.GetStatusText());
    EXPECT_EQ("C:\\x\\a.txt\nStatut:: pas traite\n\n", deletion.GetReportText());
    EXPECT_EQ(0, deletion.GetImage());
    EXPECT_EQ(0, deletion.GetOverlay());
    EXPECT_EQ("", deletion.GetRegistryText());

    CFileInfo move("C:\\x\\a.txt", "C:\\y\\a.txt",
                   std::make_unique<CRegistryEntry>(HKEY_LOCAL_MACHINE, "Software\\Run", "Tool"));
    EXPECT_EQ("C:\\y\\a.txt", move.GetReportPath());
    EXPECT_EQ("HKLM\\Software\\Run\\Tool\nStatut:: mis a jour avec succes\n\n"
              "C:\\y\\a.txt\nStatut:: pas traite\n\n",
              move.GetReportText());
}

TEST(FileInfoList, ProgressStopsTheListingAndTheRunBetweenTwoObjects)
{
    CScratchDir dir;
    const std::string root = dir.Folder("F");
    for (const char* name : {"a", "b", "c"})
        ASSERT_TRUE(WriteFileBytes(root + "\\" + name, name));
    ASSERT_TRUE(WriteFileBytes(dir / "before", "x"));

    // The listing: told the count added so far, stopped after the second.
    CFileInfoList list;
    ASSERT_TRUE(list.Add(dir / "before"));
    CStopAt stopListing(2);
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(list.AddFolder(root, &stopListing)) << GetLastError();
    EXPECT_EQ(static_cast<DWORD>(ERROR_CANCELLED), GetLastError());
    EXPECT_EQ((std::vector<std::size_t>{1, 2}), stopListing.told);
    EXPECT_EQ(3u, list.GetCount());
    list.RemoveFrom(1);
    EXPECT_EQ(std::vector<std::string>{dir / "before"}, Sources(list));
    CStopAt never(SIZE_MAX);
    ASSERT_TRUE(list.AddFolder(root, &never));
    EXPECT_EQ((std::vector<std::size_t>{1, 2, 3}), never.told);
    ASSERT_EQ(5u, list.GetCount());

    // The run: told each index before its attempt; what comes after the stop
    // is left as it was, and a later pass takes it up.
    CStopAt stopRun(2);
    EXPECT_TRUE(list.Process(&stopRun));
    EXPECT_EQ((std::vector<std::size_t>{0, 1, 2}), stopRun.told);
    for (std::size_t i = 0; i < list.GetCount(); ++i)
    {
        EXPECT_EQ(i < 2 ? StatusDeleted : StatusNotProcessed, list.GetAt(i)->GetStatus()) << i;
        EXPECT_EQ(i >= 2, PathExists(list.GetAt(i)->GetSource())) << i;
    }
    CStopAt rest(SIZE_MAX);
    EXPECT_TRUE(list.Process(&rest));
    EXPECT_EQ((std::vector<std::size_t>{2, 3, 4}), rest.told);
    EXPECT_FALSE(PathExists(root));
}

TEST(FileInfoList, AddFolderListsChildrenFirst)
{
    CScratchDir dir;
    const std::string root = dir.Folder("F");
    ASSERT_TRUE(WriteFileBytes(root + "\\a.txt", "a"));
    ASSERT_TRUE(CreateDirectoryA((root + "\\s").c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(root + "\\s\\b.txt", "b"));

    CFileInfoList list;
    ASSERT_TRUE(list.AddFolder(root));
    const std::vector<std::string> sources = Sources(list);
    ASSERT_EQ(4u, sources.size());
    EXPECT_EQ(root, sources.back());
    const auto at = [&](const std::string& p) {
        return std::find(sources.begin(), sources.end(), p) - sources.begin();
    };
    EXPECT_LT(at(root + "\\s\\b.txt"), at(root + "\\s"));
    EXPECT_LT(at(root + "\\a.txt"), 3);
    for (std::size_t i = 0; i < list.GetCount(); ++i)
        EXPECT_EQ(ActionDelete, list.GetAt(i)->GetAction());
    EXPECT_TRUE(list.GetAt(3)->IsDirectory());

    CFileInfoList empty;
    const std::string emptyFolder = dir.Folder("empty");
    ASSERT_TRUE(empty.AddFolder(emptyFolder));
    EXPECT_EQ(std::vector<std::string>{emptyFolder}, Sources(empty));

    WIN32_FIND_DATAA data = {};
    SetLastError(0xdeadbeef);
    ASSERT_EQ(INVALID_HANDLE_VALUE, FindFirstFileA((dir / "missing\\*.*").c_str(), &data)) << GetLastError();
    const DWORD findError = GetLastError();
    CFileInfoList missing;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(missing.AddFolder(dir / "missing")) << GetLastError();
    EXPECT_EQ(findError, GetLastError());
    EXPECT_TRUE(missing.IsEmpty());
}

TEST(FileInfoList, AddFolderDoesNotFollowLinks)
{
    using CreateLinkProc = BOOLEAN(WINAPI*)(LPCSTR, LPCSTR, DWORD);
    const auto createLink = reinterpret_cast<CreateLinkProc>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "CreateSymbolicLinkA")));
    CScratchDir dir;
    const std::string outside = dir.Folder("outside");
    const std::string root = dir.Folder("tree");
    ASSERT_TRUE(WriteFileBytes(outside + "\\precious.txt", "keep"));
    const std::string link = root + "\\link";
    if (!createLink || !createLink(link.c_str(), outside.c_str(), 1 /* directory */) ||
        !(GetFileAttributesA(link.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT))
        GTEST_SKIP() << "no folder links on this system";
    WIN32_FIND_DATAA data = {};
    HANDLE find = FindFirstFileA((root + "\\link").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        GTEST_SKIP() << "folder links are not listed by this system";
    FindClose(find);

    CFileInfoList list;
    ASSERT_TRUE(list.AddFolder(root));
    EXPECT_EQ((std::vector<std::string>{link, root}), Sources(list));
    EXPECT_TRUE(list.Process());
    EXPECT_TRUE(PathExists(outside + "\\precious.txt"));
}

TEST(FileInfoList, ContainsRemoveAndRestartNeeded)
{
    CFileInfoList list;
    EXPECT_FALSE(list.IsRestartNeeded());
    ASSERT_TRUE(list.Add("C:\\Dir\\One.txt"));
    ASSERT_TRUE(list.Add("C:\\dir\\two.txt", "C:\\dir\\three.txt"));
    ASSERT_TRUE(list.Add("C:\\dir\\one.txt")); // the same source twice is allowed
    EXPECT_EQ(3u, list.GetCount());
    EXPECT_TRUE(list.Contains("c:\\DIR\\one.TXT"));
    EXPECT_FALSE(list.Contains("C:\\dir\\three.txt")); // only sources count

    CFileInfo stranger("C:\\x", "", nullptr);
    EXPECT_FALSE(list.Remove(&stranger));
    EXPECT_EQ(3u, list.GetCount());

    CFileInfo* second = list.GetAt(1);
    EXPECT_TRUE(list.Remove(second));
    ASSERT_EQ(2u, list.GetCount());
    EXPECT_EQ("C:\\dir\\one.txt", list.GetAt(1)->GetSource());

    list.RemoveAll();
    EXPECT_TRUE(list.IsEmpty());
}
