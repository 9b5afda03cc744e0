// One operation run in this process (Execute) and a pass over the list
// (Process): what the console cannot show, such as the attributes cleared
// before a deletion, a second pass, and the autostart value that follows
// its file.
#include "engine/FileInfo.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <memory>

namespace
{

// The entry of an operation for the test's value.
std::unique_ptr<CRegistryEntry> EntryOf(const CRunValue& value)
{
    return std::make_unique<CRegistryEntry>(value.Hive(), value.Key(), value.Name());
}

using Execute = CQueueTest;
using Process = CQueueTest;
using ExecuteAutostart = CQueueTest;

} // namespace

TEST_F(Execute, AttributesAreClearedBeforeTheDeletion)
{
    const DWORD rhs = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    const std::string freeFile = m_dir.File("free.sys", "x");
    const std::string locked = m_dir.File("locked.sys", "x");
    const std::string folder = m_dir.Folder("folder");
    ASSERT_TRUE(SetFileAttributesA(freeFile.c_str(), rhs));
    ASSERT_TRUE(SetFileAttributesA(locked.c_str(), rhs | FILE_ATTRIBUTE_ARCHIVE));
    ASSERT_TRUE(SetFileAttributesA(folder.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
    ASSERT_EQ(rhs | FILE_ATTRIBUTE_ARCHIVE, GetFileAttributesA(locked.c_str()));

    CFileInfo freeItem(freeFile, "", nullptr);
    EXPECT_EQ(StatusDeleted, freeItem.Execute());
    EXPECT_EQ(0u, freeItem.GetErrorCode());
    EXPECT_FALSE(PathExists(freeFile));

    CFileInfo folderItem(folder, "", nullptr);
    EXPECT_EQ(StatusDeleted, folderItem.Execute());
    EXPECT_FALSE(PathExists(folder));

    // The locked file survives the attempt and shows what was done to it:
    // only the three bits are gone, the archive bit is still there.
    CHolder holder(CHolder::Open, locked);
    ASSERT_TRUE(holder.IsHolding());
    CFileInfo lockedItem(locked, "", nullptr);
    EXPECT_EQ(StatusDelayed, lockedItem.Execute());
    EXPECT_EQ(0u, lockedItem.GetErrorCode());
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE), GetFileAttributesA(locked.c_str()));
    EXPECT_EQ("fichier en cours d'utilisation, operation differee", lockedItem.GetStatusText());
}

TEST_F(Execute, VanishedSourceFailsWithFileNotFound)
{
    const std::string file = m_dir.File("gone.txt", "x");
    CFileInfoList list;
    ASSERT_TRUE(list.Add(file));
    ASSERT_TRUE(list.Add(file, m_dir / "renamed.txt"));
    ASSERT_TRUE(DeleteFileA(file.c_str()));

    EXPECT_FALSE(list.Process());
    for (std::size_t i = 0; i < list.GetCount(); ++i)
    {
        EXPECT_EQ(StatusFailed, list.GetAt(i)->GetStatus());
        EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), list.GetAt(i)->GetErrorCode());
    }
    EXPECT_EQ("", PendingQueueBytes());
}

TEST_F(Execute, FolderOperations)
{
    const std::string folder = m_dir / "folder";
    const std::string inner = folder + "\\inner.txt";
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(inner, "x"));

    // A folder that still holds a file is queued for the restart (145).
    CFileInfo deletion(folder, "", nullptr);
    EXPECT_EQ(StatusDelayed, deletion.Execute());
    EXPECT_EQ(0u, deletion.GetErrorCode());
    const std::string expected = PendingQueueOf({NtPath(folder), ""});
    EXPECT_EQ(expected, PendingQueueBytes());
    ClearPendingQueue();

    // A folder is moved with its content whatever the action.
    CFileInfo renaming(folder, m_dir / "renamed", nullptr);
    ASSERT_EQ(ActionRename, renaming.GetAction());
    EXPECT_EQ(StatusMoved, renaming.Execute());
    EXPECT_EQ("x", ReadFileBytes(m_dir / "renamed\\inner.txt"));
    EXPECT_FALSE(PathExists(folder));
}

TEST_F(Process, SecondPassSkipsWhatSucceeded)
{
    const std::string freeFile = m_dir.File("free.txt", "x");
    const std::string locked = m_dir.File("locked.txt", "x");
    CHolder holder(CHolder::Open, locked);
    ASSERT_TRUE(holder.IsHolding());

    CFileInfoList list;
    ASSERT_TRUE(list.Add(freeFile));
    ASSERT_TRUE(list.Add(locked));
    EXPECT_TRUE(list.Process());
    EXPECT_EQ(StatusDeleted, list.GetAt(0)->GetStatus());
    EXPECT_EQ(StatusDelayed, list.GetAt(1)->GetStatus());
    EXPECT_TRUE(list.IsRestartNeeded());

    // Were the done deletion attempted again, the new file would go.
    ASSERT_TRUE(WriteFileBytes(freeFile, "again"));
    EXPECT_TRUE(list.Process());
    EXPECT_EQ("again", ReadFileBytes(freeFile));
    EXPECT_EQ(StatusDeleted, list.GetAt(0)->GetStatus());
    // The delayed one is attempted again and queued once more.
    EXPECT_EQ(StatusDelayed, list.GetAt(1)->GetStatus());
    const std::string expected = PendingQueueOf({NtPath(locked), "", NtPath(locked), ""});
    EXPECT_EQ(expected, PendingQueueBytes());
}

TEST_F(Process, EveryOperationIsAttemptedAfterAFailure)
{
    const std::string first = m_dir / "first.txt";
    const std::string second = m_dir / "second.txt";
    const std::string third = m_dir / "third.txt";
    for (const std::string& file : {first, second, third})
        ASSERT_TRUE(WriteFileBytes(file, "x"));
    CHolder holder(CHolder::Open, third);
    ASSERT_TRUE(holder.IsHolding());

    CFileInfoList list;
    ASSERT_TRUE(list.Add(first));
    ASSERT_TRUE(list.Add(second, m_dir / "missing\\second.txt"));
    ASSERT_TRUE(list.Add(third));
    EXPECT_FALSE(list.Process());
    EXPECT_EQ(StatusDeleted, list.GetAt(0)->GetStatus());
    EXPECT_EQ(StatusFailed, list.GetAt(1)->GetStatus());
    EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), list.GetAt(1)->GetErrorCode());
    EXPECT_EQ(StatusDelayed, list.GetAt(2)->GetStatus());
    const std::string expected = PendingQueueOf({NtPath(third), ""});
    EXPECT_EQ(expected, PendingQueueBytes());

    // Deferrals and successes alone never make a pass fail.
    CFileInfoList delayedFirst;
    ASSERT_TRUE(delayedFirst.Add(third));
    ASSERT_TRUE(WriteFileBytes(first, "x"));
    ASSERT_TRUE(delayedFirst.Add(first));
    EXPECT_TRUE(delayedFirst.Process());
    EXPECT_TRUE(CFileInfoList().Process());
}

TEST_F(ExecuteAutostart, ValueFollowsAFileThatIsDoneOrQueued)
{
    const std::string deleted = m_dir / "deleted.exe";
    const std::string lockedDeleted = m_dir / "locked deleted.exe";
    const std::string renamed = m_dir / "renamed.exe";
    const std::string lockedMoved = m_dir / "locked moved.exe";
    const std::string sub = m_dir.Folder("sub dir");
    for (const std::string& file : {deleted, lockedDeleted, renamed, lockedMoved})
        ASSERT_TRUE(WriteFileBytes(file, "x"));
    CRunValue deleteValue("OrvRunnerDelete", deleted + " /start");
    CRunValue lockedDeleteValue("OrvRunnerLockedDelete", Quote(lockedDeleted));
    CRunValue renameValue("OrvRunnerRename", renamed);
    CRunValue moveValue("OrvRunnerMove", Quote(lockedMoved) + " -tray");
    for (const CRunValue* value : {&deleteValue, &lockedDeleteValue, &renameValue, &moveValue})
        ASSERT_TRUE(value->Written());

    CHolder deleteHolder(CHolder::Open, lockedDeleted);
    CHolder moveHolder(CHolder::Open, lockedMoved);
    ASSERT_TRUE(deleteHolder.IsHolding());
    ASSERT_TRUE(moveHolder.IsHolding());

    CFileInfoList list;
    ASSERT_TRUE(list.Add(deleted, "", EntryOf(deleteValue)));
    ASSERT_TRUE(list.Add(lockedDeleted, "", EntryOf(lockedDeleteValue)));
    ASSERT_TRUE(list.Add(renamed, m_dir / "new.exe", EntryOf(renameValue)));
    ASSERT_TRUE(list.Add(lockedMoved, sub + "\\moved.exe", EntryOf(moveValue)));
    EXPECT_TRUE(list.Process());

    EXPECT_EQ(StatusDeleted, list.GetAt(0)->GetStatus());
    EXPECT_EQ("(none)", deleteValue.Data());
    EXPECT_EQ(StatusDelayed, list.GetAt(1)->GetStatus());
    EXPECT_EQ("(none)", lockedDeleteValue.Data());
    EXPECT_EQ(StatusMoved, list.GetAt(2)->GetStatus());
    EXPECT_EQ(m_dir / "new.exe", renameValue.Data());
    // Queued: the value already names the destination, quoted for its blank.
    EXPECT_EQ(StatusDelayed, list.GetAt(3)->GetStatus());
    EXPECT_EQ(Quote(sub + "\\moved.exe"), moveValue.Data());

    for (std::size_t i = 0; i < list.GetCount(); ++i)
    {
        const CRegistryEntry* entry = list.GetAt(i)->GetRegistryEntry();
        ASSERT_NE(nullptr, entry);
        EXPECT_EQ(0u, entry->GetLastErrorCode()) << i;
        EXPECT_EQ(i < 2 ? "suppression effectuee avec succes" : "mis a jour avec succes",
                  entry->GetStatusText());
    }
}

TEST_F(ExecuteAutostart, FailedOperationLeavesTheValueAlone)
{
    const std::string file = m_dir.File("tool.exe", "x");
    const std::string folder = m_dir.Folder("folder");
    const std::string original = Quote(file) + " /autorun";
    CRunValue moveValue("OrvRunnerFailedMove", original);
    CRunValue vanishedValue("OrvRunnerVanished", original);
    CRunValue folderValue("OrvRunnerFolder", original);
    for (const CRunValue* value : {&moveValue, &vanishedValue, &folderValue})
        ASSERT_TRUE(value->Written());

    // Error 3: not a lock, the file stays, and so does its value.
    CFileInfo move(file, m_dir / "missing\\tool.exe", EntryOf(moveValue));
    EXPECT_EQ(StatusFailed, move.Execute());
    EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), move.GetErrorCode());
    EXPECT_EQ(original, moveValue.Data());
    EXPECT_EQ("mis a jour avec succes", move.GetRegistryEntry()->GetStatusText());
    EXPECT_FALSE(move.GetRegistryEntry()->IsDeleted());

    CFileInfo vanished(m_dir / "vanished.exe", "", EntryOf(vanishedValue));
    EXPECT_EQ(StatusFailed, vanished.Execute());
    EXPECT_EQ(original, vanishedValue.Data());

    // A folder's entry is never touched.
    CFileInfo folderItem(folder, "", EntryOf(folderValue));
    EXPECT_EQ(StatusDeleted, folderItem.Execute());
    EXPECT_EQ(original, folderValue.Data());
    EXPECT_FALSE(folderItem.GetRegistryEntry()->IsDeleted());
}
