// The clearing of the NT family's restart queue while other programs go on
// queueing: what they add after the read stays, and a queue written back
// after the clearing is cleared again.
#include "engine/FileInfo.h"
#include "engine/Handles.h"
#include "engine/PendingStore.h"
#include "tests/support/TestSupport.h"
#include "tests/unit/QueueFilesTest.h"

#include <gtest/gtest.h>

namespace
{

const char kQueueValue[] = "PendingFileRenameOperations";

using RegistryQueue = CQueueFilesTest;

} // namespace

TEST_F(RegistryQueue, EntriesQueuedAfterTheReadStay)
{
    ASSERT_TRUE(WritePendingValue(REG_MULTI_SZ, PendingQueueOf({NtPath(m_a), ""})));
    CFileInfoList list;
    ASSERT_TRUE(list.LoadPending());
    ASSERT_EQ(1u, list.GetCount());
    // Another program queues two more, one of them the same as the first.
    ASSERT_TRUE(MoveFileExA(m_b.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
    ASSERT_TRUE(MoveFileExA(m_a.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));

    SetLastError(0xdeadbeef);
    EXPECT_TRUE(RemovePending(list)) << GetLastError();
    EXPECT_EQ(PendingQueueOf({NtPath(m_b), "", NtPath(m_a), ""}), PendingValueText(kQueueValue));
    // Once all taken over, the value goes.
    ASSERT_TRUE(WritePendingValue(REG_MULTI_SZ, PendingQueueOf({NtPath(m_a), ""})));
    EXPECT_TRUE(RemovePending(list));
    EXPECT_EQ("<none>", PendingValueText(kQueueValue));
}

namespace
{

// A program that read the queue before the clearing writes it back after,
// one entry of its own added, as the system's own queueing does: the
// entries taken over are cleared again and its entry stays.
struct SWriteBack
{
    std::string extra;
    HANDLE ready;
    bool wrote = false;
};

DWORD WINAPI WriteBackThread(void* parameter)
{
    auto* writeBack = static_cast<SWriteBack*>(parameter);
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Session Manager", 0,
                      KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_NOTIFY, &key) != ERROR_SUCCESS)
        return 1;
    CHandle changed(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    RegNotifyChangeKeyValue(key, FALSE, REG_NOTIFY_CHANGE_LAST_SET, changed.Get(), TRUE);
    const std::string read = PendingValueText(kQueueValue);
    SetEvent(writeBack->ready);
    // Other values of the key (the backup) change too.
    bool cleared = false;
    while (!cleared && WaitForSingleObject(changed.Get(), 10000) == WAIT_OBJECT_0)
    {
        RegNotifyChangeKeyValue(key, FALSE, REG_NOTIFY_CHANGE_LAST_SET, changed.Get(), TRUE);
        cleared = PendingValueText(kQueueValue) != read;
    }
    if (cleared)
    {
        // The list's end stays the end.
        const std::string value = read.substr(0, read.size() - 1) + writeBack->extra;
        writeBack->wrote = RegSetValueExA(key, kQueueValue, 0, REG_MULTI_SZ,
                                          reinterpret_cast<const BYTE*>(value.data()),
                                          static_cast<DWORD>(value.size())) == ERROR_SUCCESS;
    }
    RegCloseKey(key);
    return 0;
}

} // namespace

TEST_F(RegistryQueue, AQueueWrittenBackAfterTheClearingIsClearedAgain)
{
    ASSERT_TRUE(WritePendingValue(REG_MULTI_SZ, PendingQueueOf({NtPath(m_a), "", NtPath(m_b), ""})));
    CFileInfoList list;
    ASSERT_TRUE(list.LoadPending());
    ASSERT_EQ(2u, list.GetCount());

    CHandle ready(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    SWriteBack writeBack{PendingQueueOf({NtPath(m_c), ""}), ready.Get()};
    CHandle writer(CreateThread(nullptr, 0, WriteBackThread, &writeBack, 0, nullptr));
    ASSERT_TRUE(writer);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(ready.Get(), 10000));

    SetLastError(0xdeadbeef);
    EXPECT_TRUE(RemovePending(list)) << GetLastError();
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(writer.Get(), 20000));
    EXPECT_TRUE(writeBack.wrote);
    EXPECT_EQ(PendingQueueOf({NtPath(m_c), ""}), PendingValueText(kQueueValue));
}
