// orvline.exe running operations: at once when the object is free, queued
// for the restart when it is locked, and what the restart then does.
#include "engine/FileInfo.h"
#include "engine/TemporaryFiles.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <sddl.h>

#include <algorithm>
#include <memory>
#include <set>

namespace
{

const char kFailed[] = "\r\nTraitement echoue\r\n";
// The file's bytes; "(none)" when it does not exist or no path is given.
std::string Content(const std::string& path)
{
    return PathExists(path) ? ReadFileBytes(path) : "(none)";
}

enum EHold { HoldSource, HoldDestination, LoadSource };

// One orvline run: the source, the destination ("" to delete), whether a
// file is already there (a replacement), and what is held while it runs.
struct SOperation
{
    const char* what;
    std::string source;
    std::string destination;
    bool replace;
    EHold hold;
};

std::vector<SOperation> FourActions(const CScratchDir& dir, const std::string& sub,
                                    const std::string& ext)
{
    return {
        {"delete", dir / ("delete" + ext), "", false, HoldSource},
        {"rename", dir / ("rename" + ext), dir / ("renamed" + ext), false, HoldSource},
        {"move", dir / ("move" + ext), sub + "\\moved" + ext, false, HoldSource},
        {"replace", dir / ("replacing" + ext), dir / ("replaced" + ext), true, HoldSource},
    };
}

// Each file holds its own path, so that its bytes show where it came from.
bool WriteOperationFiles(const SOperation& op)
{
    return WriteFileBytes(op.source, op.source) &&
           (!op.replace || WriteFileBytes(op.destination, op.destination));
}

std::string Arguments(const SOperation& op)
{
    return Quote(op.source) + (op.destination.empty() ? "" : " " + Quote(op.destination));
}

using OrvlineRunner = CQueueTest;

} // namespace

TEST_F(OrvlineRunner, FreeFileIsDoneAtOnce)
{
    for (const SOperation& op : FourActions(m_dir, m_dir.Folder("sub"), ".txt"))
    {
        SCOPED_TRACE(op.what);
        ASSERT_TRUE(WriteOperationFiles(op));
        EXPECT_TRUE(RunEnded(RunOrvline(Arguments(op)), 0, kProcessed, ""));
        // A replacement at once copies: the new file stays where it was.
        EXPECT_EQ(op.replace ? op.source : "(none)", Content(op.source));
        EXPECT_EQ(op.destination.empty() ? "(none)" : op.source, Content(op.destination));
    }
    EXPECT_EQ("", PendingQueueBytes());
}

// Every kind of run, through the program under test: in the 32-bit test
// build that is the shipped build/bin/orvline.exe.
TEST_F(OrvlineRunner, EveryKindOfRun)
{
    const std::string sub = m_dir.Folder("sub");
    const std::string tree = m_dir.Folder("tree");
    ASSERT_TRUE(WriteFileBytes(m_dir.Folder("tree\\inner") + "\\deep.txt", "x"));
    m_dir.Folder("moving");
    for (const char* name : {"delete.txt", "rename.txt", "move.txt", "new.txt", "old.txt"})
        ASSERT_TRUE(WriteFileBytes(m_dir / name, name));
    const std::string queued = m_dir.File("queued.txt", "queued.txt");
    ASSERT_TRUE(MoveFileExA(queued.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));

    struct SRun
    {
        std::string arguments;
        std::string output;
        std::vector<std::string> gone;
        // Files that must hold their original name as their bytes.
        std::vector<std::pair<std::string, std::string>> files;
    };
    const std::string gathered = std::string(kGathering) + kProcessed;
    const SRun runs[] = {
        {Quote(m_dir / "delete.txt"), kProcessed, {m_dir / "delete.txt"}, {}},
        {Quote(tree), kProcessed, {tree}, {}},
        {Quote(m_dir / "rename.txt") + " " + Quote(m_dir / "renamed.txt"), kProcessed,
         {m_dir / "rename.txt"}, {{m_dir / "renamed.txt", "rename.txt"}}},
        {Quote(m_dir / "move.txt") + " " + Quote(sub), kProcessed, {m_dir / "move.txt"},
         {{sub + "\\move.txt", "move.txt"}}},
        {Quote(m_dir / "moving") + " " + Quote(sub), kProcessed, {m_dir / "moving"}, {}},
        {Quote(m_dir / "new.txt") + " " + Quote(m_dir / "old.txt"), kProcessed, {},
         {{m_dir / "old.txt", "new.txt"}, {m_dir / "new.txt", "new.txt"}}},
        {"/pending", gathered, {queued}, {}},
    };
    for (const SRun& run : runs)
    {
        SCOPED_TRACE(run.arguments);
        EXPECT_TRUE(RunEnded(RunOrvline(run.arguments), 0, run.output, ""));
        for (const std::string& path : run.gone)
            EXPECT_FALSE(PathExists(path)) << path;
        for (const auto& file : run.files)
            EXPECT_EQ(file.second, Content(file.first)) << file.first;
    }
    EXPECT_TRUE(PathExists(sub + "\\moving"));
    EXPECT_EQ("", PendingQueueBytes());
}

TEST_F(OrvlineRunner, LockedFilesWaitForTheRestart)
{
    std::vector<SOperation> operations = FourActions(m_dir, m_dir.Folder("sub"), ".dll");
    // The file to be replaced locked rather than the new one, twice: the
    // same new file replaces two files...
    const std::string other = m_dir.Folder("other");
    operations.push_back({"locked target", m_dir / "replacing locked.dll",
                          m_dir / "locked target.dll", true, HoldDestination});
    operations.push_back({"another locked target", m_dir / "replacing locked.dll",
                          other + "\\locked target.dll", true, HoldDestination});
    // ... and a loaded module, which cannot be deleted (error 5).
    operations.push_back({"loaded", m_dir / "loaded.dll", "", false, LoadSource});

    std::vector<std::unique_ptr<CHolder>> holders;
    // The queue's strings; for a replacement the copy's name is its own.
    std::vector<std::string> queued;
    for (const SOperation& op : operations)
    {
        SCOPED_TRACE(op.what);
        if (op.hold == LoadSource)
            ASSERT_TRUE(CopyFixtureDll(op.source)) << GetLastError();
        else
            ASSERT_TRUE(WriteOperationFiles(op));
        holders.push_back(std::make_unique<CHolder>(
            op.hold == LoadSource ? CHolder::Load : CHolder::Open,
            op.hold == HoldDestination ? op.destination : op.source));
        ASSERT_TRUE(holders.back()->IsHolding());
        // A new file that cannot be read now cannot be copied: refused, and
        // never moved away in place of a copy.
        if (op.replace && op.hold == HoldSource)
        {
            EXPECT_TRUE(RunEnded(RunOrvline(Arguments(op)), 10, "Traitement...\r\n",
                                 FailureLine(op.destination, ERROR_SHARING_VIOLATION) + kFailed));
            continue;
        }
        EXPECT_TRUE(RunEnded(RunOrvline(Arguments(op)), 0, kProcessed, ""));
        // The system's own form: NT paths, an empty string for a deletion
        // and "!" before a destination that is to be replaced.
        queued.push_back(op.replace ? "" : NtPath(op.source));
        queued.push_back(op.destination.empty() ? ""
                                                : (op.replace ? "!" : "") + NtPath(op.destination));
    }
    std::vector<char> bytes;
    ASSERT_TRUE(ReadPendingValue(bytes));
    // The strings, without the empty one that ends the list.
    std::vector<std::string> strings = SplitMultiString(bytes);
    ASSERT_EQ(queued.size() + 1, strings.size());
    strings.pop_back();
    for (std::size_t i = 0; i < queued.size(); i += 2)
    {
        // A replacement waits with a complete copy in the target's folder.
        if (queued[i].empty())
        {
            const std::string folder = queued[i + 1].substr(1, queued[i + 1].rfind('\\'));
            EXPECT_EQ(folder, strings[i].substr(0, folder.size()));
            EXPECT_TRUE(IsTemporaryName(strings[i].substr(folder.size()).c_str())) << strings[i];
            queued[i] = strings[i];
        }
    }
    EXPECT_EQ(queued, strings);
    // Nothing has happened yet.
    for (const SOperation& op : operations)
    {
        SCOPED_TRACE(op.what);
        EXPECT_TRUE(PathExists(op.source));
        // A held file cannot be read; the other side of its pair can.
        if (op.hold == HoldDestination)
        {
            EXPECT_EQ(op.source, Content(op.source));
        }
        else
        {
            EXPECT_EQ(op.replace ? op.destination : "(none)", Content(op.destination));
        }
    }

    holders.clear();
    ASSERT_TRUE(RestartPrefix());
    // A deferred replacement's copy takes the old file's place; the new file
    // stays where it is.
    for (const SOperation& op : operations)
    {
        SCOPED_TRACE(op.what);
        const bool refused = op.replace && op.hold == HoldSource;
        EXPECT_EQ(op.replace, PathExists(op.source));
        EXPECT_EQ(op.destination.empty() ? "(none)" : refused ? op.destination : op.source,
                  Content(op.destination));
    }
    EXPECT_EQ("", PendingQueueBytes());
    EXPECT_EQ(std::vector<std::string>{}, TemporaryFilesIn(m_dir.Path()));
    EXPECT_EQ(std::vector<std::string>{}, TemporaryFilesIn(other));
}

TEST_F(OrvlineRunner, FolderTreeWithLockedFiles)
{
    const std::string tree = m_dir / "tree";
    const std::string busy = tree + "\\busy";
    const std::string idle = tree + "\\idle";
    const std::string empty = tree + "\\empty";
    for (const std::string& folder : {tree, busy, idle, empty})
        ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    const std::string freeTop = tree + "\\free.txt";
    const std::string lockedTop = tree + "\\locked.txt";
    const std::string freeBusy = busy + "\\free.txt";
    const std::string loadedBusy = busy + "\\loaded.dll";
    const std::string freeIdle = idle + "\\free.txt";
    for (const std::string& file : {freeTop, lockedTop, freeBusy, freeIdle})
        ASSERT_TRUE(WriteFileBytes(file, "x"));
    ASSERT_TRUE(SetFileAttributesA(freeIdle.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(CopyFixtureDll(loadedBusy)) << GetLastError();

    {
        CHolder lockedHolder(CHolder::Open, lockedTop);
        CHolder loadedHolder(CHolder::Load, loadedBusy);
        ASSERT_TRUE(lockedHolder.IsHolding());
        ASSERT_TRUE(loadedHolder.IsHolding());

        EXPECT_TRUE(RunEnded(RunOrvline(Quote(tree)), 0, kProcessed, ""));
    }

    // Free objects are gone at once, the locked files and the folders that
    // still hold them (error 145) wait.
    for (const std::string& path : {freeTop, freeBusy, freeIdle, idle, empty})
        EXPECT_FALSE(PathExists(path)) << path;
    for (const std::string& path : {lockedTop, loadedBusy, busy, tree})
        EXPECT_TRUE(PathExists(path)) << path;

    const std::string bytes = PendingQueueBytes();
    std::vector<std::string> strings = SplitMultiString(std::vector<char>(bytes.begin(), bytes.end()));
    // Four deletions, then the zero that ends the list.
    ASSERT_EQ(9u, strings.size());
    EXPECT_EQ("", strings.back());
    std::vector<std::string> sources;
    for (std::size_t i = 0; i + 1 < strings.size(); i += 2)
    {
        EXPECT_EQ("", strings[i + 1]) << strings[i];
        sources.push_back(strings[i]);
    }
    auto position = [&](const std::string& path) {
        return std::find(sources.begin(), sources.end(), NtPath(path)) - sources.begin();
    };
    EXPECT_LT(position(loadedBusy), position(busy));
    EXPECT_LT(position(busy), position(tree));
    EXPECT_LT(position(lockedTop), position(tree));
    EXPECT_EQ(3, position(tree));
    EXPECT_EQ(4u, std::set<std::string>(sources.begin(), sources.end()).size());

    ASSERT_TRUE(RestartPrefix());
    EXPECT_FALSE(PathExists(tree));
    EXPECT_EQ("", PendingQueueBytes());
}

TEST_F(OrvlineRunner, SourceThatVanishedBeforeItsTurn)
{
    const std::string file = m_dir.File("twice.txt", "x");
    const std::string renamed = m_dir / "renamed.txt";
    // Two queued operations on one file: once it is renamed, the deletion
    // finds nothing.
    ASSERT_TRUE(MoveFileExA(file.c_str(), renamed.c_str(), MOVEFILE_DELAY_UNTIL_REBOOT));
    ASSERT_TRUE(MoveFileExA(file.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));

    EXPECT_TRUE(RunEnded(RunOrvline("/pending"), 10, std::string(kGathering) + "Traitement...\r\n",
                         FailureLine(file, ERROR_FILE_NOT_FOUND) + kFailed));
    EXPECT_EQ("x", ReadFileBytes(renamed));
    // The restart would try it too: it stays queued.
    EXPECT_EQ(PendingQueueOf({NtPath(file), ""}), PendingQueueBytes());
}

TEST_F(OrvlineRunner, DestinationInAMissingFolderFails)
{
    const std::string file = m_dir.File("stays.txt", "x");
    const std::string target = m_dir / "missing\\stays.txt";

    EXPECT_TRUE(RunEnded(RunOrvline(Quote(file) + " " + Quote(target)), 10, "Traitement...\r\n",
                         FailureLine(target, ERROR_PATH_NOT_FOUND) + kFailed));
    EXPECT_EQ("x", ReadFileBytes(file));
    // Not a lock: nothing is queued.
    EXPECT_EQ("", PendingQueueBytes());

    CFileInfo item(file, target, nullptr);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(StatusFailed, item.Execute()) << GetLastError();
    EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), item.GetErrorCode());
    EXPECT_EQ("", PendingQueueBytes());
}

TEST_F(OrvlineRunner, RebootAfterADelayedOperation)
{
    const std::string locked = m_dir.File("locked.txt", "x");
    const std::string marker = m_dir.File("marker.txt", "x");
    // Queued before the run: its disappearance shows that the restart came.
    ASSERT_TRUE(MoveFileExA(marker.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));

    CHolder holder(CHolder::Open, locked);
    ASSERT_TRUE(holder.IsHolding());
    // The restart request returns: the program goes on and says it is done.
    EXPECT_TRUE(RunEnded(RunOrvline(Quote(locked) + " /reboot"), 0,
                         "Traitement...\r\nRedemarrage...\r\nFait.\r\n", ""));

    // Wine restarts the prefix in the background and carries out the queue.
    EXPECT_TRUE(WaitUntil([&] { return !PathExists(marker); }, 20000));
    EXPECT_TRUE(WaitUntil([] { return !IsProcessRunning("wineboot.exe"); }, 20000));
    EXPECT_EQ("", PendingQueueBytes());
}

TEST_F(OrvlineRunner, NoRebootWhenAnOperationFailed)
{
    const std::string locked = m_dir.File("locked.txt", "x");
    const std::string stray = m_dir.File("stray.txt", "x");
    // A queued move into a folder that does not exist: it fails when re-run.
    ASSERT_TRUE(MoveFileExA(stray.c_str(), (m_dir / "nowhere\\stray.txt").c_str(),
                            MOVEFILE_DELAY_UNTIL_REBOOT));

    CHolder holder(CHolder::Open, locked);
    ASSERT_TRUE(holder.IsHolding());
    EXPECT_TRUE(RunEnded(RunOrvline(Quote(locked) + " /pending /reboot"), 10,
                         std::string(kGathering) + "Traitement...\r\n",
                         FailureLine(m_dir / "nowhere\\stray.txt", ERROR_PATH_NOT_FOUND) + kFailed));

    // The locked file is queued and stays queued: a restart, which Wine
    // carries out within some 0.3 s of the request, would empty the queue.
    const std::string expected = PendingQueueOf({NtPath(stray), NtPath(m_dir / "nowhere\\stray.txt"),
                                                 NtPath(locked), ""});
    EXPECT_EQ(expected, PendingQueueBytes());
    Sleep(700);
    EXPECT_FALSE(IsProcessRunning("wineboot.exe"));
    EXPECT_EQ(expected, PendingQueueBytes());
    EXPECT_TRUE(PathExists(stray));
}

namespace
{

// The access list of a file, in the system's text form.
std::string AccessList(const std::string& path)
{
    DWORD size = 0;
    GetFileSecurityA(path.c_str(), DACL_SECURITY_INFORMATION, nullptr, 0, &size);
    std::vector<BYTE> descriptor(size ? size : 1);
    char* text = nullptr;
    if (!GetFileSecurityA(path.c_str(), DACL_SECURITY_INFORMATION, descriptor.data(), size, &size) ||
        !ConvertSecurityDescriptorToStringSecurityDescriptorA(descriptor.data(), SDDL_REVISION_1,
                                                              DACL_SECURITY_INFORMATION, &text, nullptr))
        return "(none)";
    const std::string list = text;
    LocalFree(text);
    return list;
}

// The text form of this process's user.
std::string UserSid()
{
    HANDLE token = nullptr;
    BYTE buffer[256] = {};
    DWORD size = 0;
    char* text = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return std::string();
    const bool known = GetTokenInformation(token, TokenUser, buffer, sizeof(buffer), &size) &&
                       ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &text);
    CloseHandle(token);
    const std::string sid = known ? text : "";
    LocalFree(text);
    return sid;
}

bool SetAccessList(const std::string& path, const std::string& list)
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(list.c_str(), SDDL_REVISION_1, &descriptor, nullptr))
        return false;
    const bool set = SetFileSecurityA(path.c_str(), DACL_SECURITY_INFORMATION, descriptor) != FALSE;
    LocalFree(descriptor);
    return set;
}

} // namespace

// A replaced file keeps what it was: its attributes, and its access list,
// whether it is replaced at once or at the restart.
TEST_F(OrvlineRunner, AReplacementKeepsWhatTheFileItReplacesWas)
{
    const DWORD marks = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    for (const bool held : {false, true})
    {
        SCOPED_TRACE(held ? "at the restart" : "at once");
        const std::string source = m_dir.File(held ? "new2.dll" : "new1.dll", "new");
        const std::string target = m_dir.File(held ? "old2.dll" : "old1.dll", "old");
        // Nobody but the system and this user: Wine keeps that much (as the
        // file's Unix mode).
        ASSERT_TRUE(SetAccessList(target, "D:P(A;;FA;;;SY)(A;;FA;;;" + UserSid() + ")"));
        ASSERT_TRUE(SetFileAttributesA(target.c_str(), marks));
        const DWORD attributes = GetFileAttributesA(target.c_str());
        ASSERT_EQ(marks, attributes & marks);
        const std::string list = AccessList(target);
        ASSERT_EQ(std::string::npos, list.find(";;;WD)")) << list;
        {
            std::unique_ptr<CHolder> holder;
            if (held)
            {
                holder = std::make_unique<CHolder>(CHolder::Open, target);
                ASSERT_TRUE(holder->IsHolding());
            }
            EXPECT_TRUE(RunEnded(RunOrvline(Quote(source) + " " + Quote(target)), 0, kProcessed, ""));
        }
        if (held)
        {
            ASSERT_TRUE(RestartPrefix());
        }
        EXPECT_EQ("new", Content(target));
        EXPECT_EQ("new", Content(source));
        EXPECT_EQ(attributes, GetFileAttributesA(target.c_str()));
        EXPECT_EQ(list, AccessList(target));
        EXPECT_EQ(std::vector<std::string>{}, TemporaryFilesIn(m_dir.Path()));
    }
}
