// The restart queue of the NT family: PendingFileRenameOperations read into
// the operation list and moved to its backup value, in this process.
#include "engine/FileInfo.h"
#include "engine/PendingStore.h"
#include "tests/support/TestSupport.h"
#include "tests/unit/QueueFilesTest.h"

#include <gtest/gtest.h>

#include <random>

namespace
{

const char kQueueValue[] = "PendingFileRenameOperations";
const char kBackupValue[] = "PendingFileRenameOperations.Backup";

class PendingStore : public CQueueFilesTest
{
protected:
    // The example queue: a deletion and a replacement, plus pairs that are
    // skipped (a source that is gone, a UNC form).
    std::string ExampleQueue() const
    {
        return PendingQueueOf({NtPath(m_a), "", NtPath(m_gone), NtPath(m_a),
                            "\\??\\UNC\\server\\share\\f.dll", "", NtPath(m_b),
                            "!" + NtPath(m_c)});
    }

    void ExpectExampleOperations(const CFileInfoList& list)
    {
        ASSERT_EQ(2u, list.GetCount());
        ExpectOperation(list.GetAt(0), ActionDelete, m_a, "");
        ExpectOperation(list.GetAt(1), ActionReplace, m_b, m_c);
    }

    std::string m_gone = m_dir / "gone.tmp";
};

} // namespace

TEST_F(PendingStore, ReadsMultiStringAndBinaryQueues)
{
    for (DWORD type : {static_cast<DWORD>(REG_MULTI_SZ), static_cast<DWORD>(REG_BINARY)})
    {
        SCOPED_TRACE(type);
        ASSERT_TRUE(WritePendingValue(type, type == REG_BINARY ? Utf16Bytes(ExampleQueue()) : ExampleQueue()));
        CFileInfoList list;
        SetLastError(0xdeadbeef);
        EXPECT_TRUE(type == REG_MULTI_SZ ? list.LoadPending() : list.LoadPendingFromRegistry()) << GetLastError();
        ExpectExampleOperations(list);
        // Reading leaves the queue as it was.
        EXPECT_EQ(type == REG_BINARY ? Utf16Bytes(ExampleQueue()) : ExampleQueue(),
                  PendingValueText(kQueueValue));
    }
}

TEST_F(PendingStore, AppendsToTheList)
{
    ASSERT_TRUE(WritePendingValue(REG_MULTI_SZ, PendingQueueOf({NtPath(m_c), NtPath(m_dir / "renamed.dll")})));
    CFileInfoList list;
    ASSERT_TRUE(list.Add(m_a));
    EXPECT_TRUE(list.LoadPendingFromRegistry());
    ASSERT_EQ(2u, list.GetCount());
    ExpectOperation(list.GetAt(0), ActionDelete, m_a, "");
    ExpectOperation(list.GetAt(1), ActionRename, m_c, m_dir / "renamed.dll");
}

TEST_F(PendingStore, QueuesWithoutOperations)
{
    CFileInfoList list;
    // Only the terminating empty string, or nothing at all.
    ASSERT_TRUE(WritePendingValue(REG_MULTI_SZ, std::string(1, '\0')));
    SetLastError(0xdeadbeef);
    EXPECT_TRUE(list.LoadPendingFromRegistry()) << GetLastError();
    ASSERT_TRUE(WritePendingValue(REG_BINARY, ""));
    EXPECT_TRUE(list.LoadPendingFromRegistry());
    // Every source is gone.
    ASSERT_TRUE(WritePendingValue(REG_MULTI_SZ, PendingQueueOf({NtPath(m_gone), "", NtPath(m_gone), NtPath(m_a)})));
    EXPECT_TRUE(list.LoadPendingFromRegistry());
    EXPECT_TRUE(list.IsEmpty());
}

TEST_F(PendingStore, OtherValueTypesAreRefused)
{
    const std::string text = NtPath(m_a);
    ASSERT_TRUE(WritePendingValue(REG_SZ, text + std::string(1, '\0')));
    CFileInfoList list;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(list.LoadPendingFromRegistry()) << GetLastError();
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_DATA), GetLastError());
    EXPECT_TRUE(list.IsEmpty());

    SetLastError(0xdeadbeef);
    EXPECT_FALSE(RemovePending()) << GetLastError();
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_DATA), GetLastError());
    // Nothing was moved.
    EXPECT_EQ(text + std::string(1, '\0'), PendingValueText(kQueueValue));
    EXPECT_EQ("<none>", PendingValueText(kBackupValue));
}

TEST_F(PendingStore, NoQueueValue)
{
    CFileInfoList list;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(list.LoadPending()) << GetLastError();
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(RemovePending()) << GetLastError();
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
    EXPECT_TRUE(list.IsEmpty());
}

TEST_F(PendingStore, RemoveClearsOnlyWhatWasTakenOver)
{
    // The pairs that are not taken over: a source that is gone, a UNC form.
    const std::string rest = PendingQueueOf({NtPath(m_gone), NtPath(m_a),
                                             "\\??\\UNC\\server\\share\\f.dll", ""});
    for (DWORD type : {static_cast<DWORD>(REG_MULTI_SZ), static_cast<DWORD>(REG_BINARY)})
    {
        SCOPED_TRACE(type);
        ClearPendingQueue();
        ASSERT_TRUE(WritePendingValue(REG_BINARY, "older backup", kBackupValue));
        // The ANSI calls convert a list, not bytes.
        const auto stored = [&](const std::string& text) {
            return type == REG_BINARY ? Utf16Bytes(text) : text;
        };
        const std::string queued = stored(ExampleQueue());
        ASSERT_TRUE(WritePendingValue(type, queued));

        SetLastError(0xdeadbeef);
        EXPECT_TRUE(RemovePending()) << GetLastError();
        DWORD backupType = 0;
        EXPECT_EQ(queued, PendingValueText(kBackupValue, &backupType));
        EXPECT_EQ(type, backupType);
        DWORD restType = 0;
        EXPECT_EQ(stored(rest), PendingValueText(kQueueValue, &restType));
        EXPECT_EQ(type, restType);

        // Nothing left to take over: nothing changes.
        SetLastError(0xdeadbeef);
        EXPECT_TRUE(RemovePending()) << GetLastError();
        EXPECT_EQ(queued, PendingValueText(kBackupValue));
        EXPECT_EQ(stored(rest), PendingValueText(kQueueValue));
    }
}

TEST_F(PendingStore, DamagedValuesThroughTheRegistry)
{
    const std::string a = NtPath(m_a);
    struct
    {
        std::string bytes;
        std::size_t operations;
    } cases[] = {
        {a + std::string(1, '\0') + std::string(1, '\0'), 1},  // no final empty string
        {a, 0},                                                // no terminator at all
        {a + std::string(1, '\0'), 0},                         // a source alone
        {a + std::string(1, '\0') + "!" + NtPath(m_c), 1},       // target cut off
        {a + std::string(3, '\0') + "x", 1},                   // odd length, junk after the end
        {std::string(1, '\0') + a + std::string(2, '\0'), 0},  // starts with the end
        {std::string(300000, 'x'), 0},                         // a huge single string
    };
    for (const auto& c : cases)
    {
        for (DWORD type : {static_cast<DWORD>(REG_BINARY), static_cast<DWORD>(REG_MULTI_SZ)})
        {
            ASSERT_TRUE(WritePendingValue(type, type == REG_BINARY ? Utf16Bytes(c.bytes) : c.bytes));
            CFileInfoList list;
            EXPECT_TRUE(list.LoadPendingFromRegistry()) << c.bytes.size();
            EXPECT_EQ(c.operations, list.GetCount()) << c.bytes.size() << " type " << type;
        }
    }

    // Generated values, also through the registry.
    std::mt19937 random(7u);
    const std::string pieces[] = {a, NtPath(m_b), "!" + NtPath(m_c), std::string(1, '\0'), ":", "x"};
    for (int round = 0; round < 200; ++round)
    {
        std::string bytes;
        const int count = static_cast<int>(random() % 12);
        for (int i = 0; i < count; ++i)
            bytes += pieces[random() % 6];
        ASSERT_TRUE(WritePendingValue(REG_BINARY, bytes));
        CFileInfoList list;
        EXPECT_TRUE(list.LoadPendingFromRegistry());
        for (std::size_t i = 0; i < list.GetCount(); ++i)
            EXPECT_TRUE(PathExists(list.GetAt(i)->GetSource()));
    }
}
