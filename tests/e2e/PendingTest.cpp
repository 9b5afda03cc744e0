// The restart queue of the NT family: PendingFileRenameOperations read into
// the operation list, moved to its backup value, and orvline /pending
// running what was queued.
#include "FileInfo.h"
#include "Handles.h"
#include "PendingStore.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <shlwapi.h>

#include <random>

namespace
{

const char kBanner[] =
    "Orvane en Ligne de Commandes - Version 1.00 (build 0.0)\r\n"
    "Remplace, deplace, renomme ou supprime tout fichier ou dossier verrouille par un processus "
    "en cours.\r\n"
    "Copyright (C) 2026 Hadrel. Tous droits reserves.\r\n"
    "https://www.hadrel.example/orvane\r\n"
    "\r\n";

const char kGathering[] = "Regroupement des operations en attente sur le systeme...\r\n";
const char kQueueValue[] = "PendingFileRenameOperations";
const char kBackupValue[] = "PendingFileRenameOperations.Backup";

// Strings joined with their terminators, plus the final empty string.
std::string MultiString(const std::vector<std::string>& strings)
{
    std::string bytes;
    for (const std::string& s : strings)
        bytes += s + std::string(1, '\0');
    return bytes + std::string(1, '\0');
}

void WriteQueue(DWORD type, const std::string& bytes, const char* name = kQueueValue)
{
    CRegKey key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManagerKey, 0,
                                           KEY_SET_VALUE, key.Receive()));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key.Get(), name, 0, type,
                                            reinterpret_cast<const BYTE*>(bytes.data()),
                                            static_cast<DWORD>(bytes.size())));
}

std::string ReadValue(const char* name, DWORD* type = nullptr)
{
    std::vector<char> bytes;
    if (!ReadPendingValue(bytes, type, name))
        return "<none>";
    return std::string(bytes.begin(), bytes.end());
}

// The system's own text for an error code, as the console shows it.
std::string SystemText(DWORD code)
{
    char* buffer = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, LANG_USER_DEFAULT, reinterpret_cast<char*>(&buffer), 0, nullptr);
    std::string text(buffer ? buffer : "", length);
    LocalFree(buffer);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\r' || text.back() == '\n'))
        text.pop_back();
    return text;
}

struct SOperation
{
    LONG action;
    std::string source;
    std::string destination;
};

std::vector<SOperation> Operations(const CFileInfoList& list)
{
    std::vector<SOperation> operations;
    for (std::size_t i = 0; i < list.GetCount(); ++i)
        operations.push_back({list.GetAt(i)->GetAction(), list.GetAt(i)->GetSource(),
                              list.GetAt(i)->GetDestination()});
    return operations;
}

void ExpectOperation(const SOperation& op, LONG action, const std::string& source,
                     const std::string& destination)
{
    EXPECT_EQ(action, op.action) << op.source;
    EXPECT_EQ(source, op.source);
    EXPECT_EQ(destination, op.destination);
}

class PendingStore : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ClearPendingQueue();
        ASSERT_TRUE(WriteFileBytes(m_a, "a"));
        ASSERT_TRUE(WriteFileBytes(m_b, "b"));
        ASSERT_TRUE(WriteFileBytes(m_c, "c"));
    }
    void TearDown() override { ClearPendingQueue(); }

    // The example queue: a deletion and a replacement, plus pairs that are
    // skipped (a source that is gone, a UNC form).
    std::string ExampleQueue() const
    {
        return MultiString({"\\??\\" + m_a, "", "\\??\\" + m_gone, "\\??\\" + m_a,
                            "\\??\\UNC\\server\\share\\f.dll", "", "\\??\\" + m_b,
                            "!\\??\\" + m_c});
    }

    void ExpectExampleOperations(const CFileInfoList& list)
    {
        const std::vector<SOperation> ops = Operations(list);
        ASSERT_EQ(2u, ops.size());
        ExpectOperation(ops[0], ActionDelete, m_a, "");
        ExpectOperation(ops[1], ActionReplace, m_b, m_c);
    }

    CScratchDir m_dir;
    std::string m_a = m_dir / "a.tmp";
    std::string m_b = m_dir / "b.dll";
    std::string m_c = m_dir / "c.dll";
    std::string m_gone = m_dir / "gone.tmp";
};

} // namespace

TEST_F(PendingStore, ReadsMultiStringQueue)
{
    WriteQueue(REG_MULTI_SZ, ExampleQueue());
    CFileInfoList list;
    SetLastError(0xdeadbeef);
    EXPECT_TRUE(list.LoadPending());
    ExpectExampleOperations(list);
    // Reading leaves the queue as it was.
    EXPECT_EQ(ExampleQueue(), ReadValue(kQueueValue));
}

TEST_F(PendingStore, ReadsBinaryQueueTheSameWay)
{
    WriteQueue(REG_BINARY, ExampleQueue());
    CFileInfoList list;
    EXPECT_TRUE(list.LoadPendingFromRegistry());
    ExpectExampleOperations(list);
}

TEST_F(PendingStore, AppendsToTheList)
{
    WriteQueue(REG_MULTI_SZ, MultiString({"\\??\\" + m_c, "\\??\\" + m_dir / "renamed.dll"}));
    CFileInfoList list;
    ASSERT_TRUE(list.Add(m_a));
    EXPECT_TRUE(list.LoadPendingFromRegistry());
    const std::vector<SOperation> ops = Operations(list);
    ASSERT_EQ(2u, ops.size());
    ExpectOperation(ops[0], ActionDelete, m_a, "");
    ExpectOperation(ops[1], ActionRename, m_c, m_dir / "renamed.dll");
}

TEST_F(PendingStore, QueuesWithoutOperations)
{
    CFileInfoList list;
    // Only the terminating empty string, or nothing at all.
    WriteQueue(REG_MULTI_SZ, std::string(1, '\0'));
    SetLastError(0xdeadbeef);
    EXPECT_TRUE(list.LoadPendingFromRegistry());
    WriteQueue(REG_BINARY, "");
    EXPECT_TRUE(list.LoadPendingFromRegistry());
    // Every source is gone.
    WriteQueue(REG_MULTI_SZ, MultiString({"\\??\\" + m_gone, "", "\\??\\" + m_gone, "\\??\\" + m_a}));
    EXPECT_TRUE(list.LoadPendingFromRegistry());
    EXPECT_TRUE(list.IsEmpty());
}

TEST_F(PendingStore, OtherValueTypesAreRefused)
{
    const std::string text = "\\??\\" + m_a;
    WriteQueue(REG_SZ, text + std::string(1, '\0'));
    CFileInfoList list;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(list.LoadPendingFromRegistry());
    EXPECT_EQ(0u, GetLastError());
    EXPECT_TRUE(list.IsEmpty());

    SetLastError(0xdeadbeef);
    EXPECT_FALSE(RemovePendingFromRegistry());
    EXPECT_EQ(0u, GetLastError());
    // Nothing was moved.
    EXPECT_EQ(text + std::string(1, '\0'), ReadValue(kQueueValue));
    EXPECT_EQ("<none>", ReadValue(kBackupValue));
}

TEST_F(PendingStore, NoQueueValue)
{
    CFileInfoList list;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(list.LoadPending());
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(RemovePending());
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
    EXPECT_TRUE(list.IsEmpty());
}

TEST_F(PendingStore, RemoveKeepsAnExactBackup)
{
    for (DWORD type : {static_cast<DWORD>(REG_MULTI_SZ), static_cast<DWORD>(REG_BINARY)})
    {
        SCOPED_TRACE(type);
        ClearPendingQueue();
        WriteQueue(REG_BINARY, "older backup", kBackupValue);
        WriteQueue(type, ExampleQueue());

        SetLastError(0xdeadbeef);
        EXPECT_TRUE(RemovePending());
        DWORD backupType = 0;
        EXPECT_EQ(ExampleQueue(), ReadValue(kBackupValue, &backupType));
        EXPECT_EQ(type, backupType);
        EXPECT_EQ("<none>", ReadValue(kQueueValue));

        // Second removal: no queue any more, the backup stays.
        SetLastError(0xdeadbeef);
        EXPECT_FALSE(RemovePendingFromRegistry());
        EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
        EXPECT_EQ(ExampleQueue(), ReadValue(kBackupValue));
    }
}

TEST_F(PendingStore, DamagedValuesThroughTheRegistry)
{
    const std::string a = "\\??\\" + m_a;
    struct
    {
        std::string bytes;
        std::size_t operations;
    } cases[] = {
        {a + std::string(1, '\0') + std::string(1, '\0'), 1},  // no final empty string
        {a, 0},                                                // no terminator at all
        {a + std::string(1, '\0'), 0},                         // a source alone
        {a + std::string(1, '\0') + "!\\??\\" + m_c, 1},       // target cut off
        {a + std::string(3, '\0') + "x", 1},                   // odd length, junk after the end
        {std::string(1, '\0') + a + std::string(2, '\0'), 0},  // starts with the end
        {std::string(300000, 'x'), 0},                         // a huge single string
    };
    for (const auto& c : cases)
    {
        for (DWORD type : {static_cast<DWORD>(REG_BINARY), static_cast<DWORD>(REG_MULTI_SZ)})
        {
            WriteQueue(type, c.bytes);
            CFileInfoList list;
            EXPECT_TRUE(list.LoadPendingFromRegistry()) << c.bytes.size();
            EXPECT_EQ(c.operations, list.GetCount()) << c.bytes.size() << " type " << type;
        }
    }

    // Generated values, also through the registry.
    std::mt19937 random(7u);
    const std::string pieces[] = {a, "\\??\\" + m_b, "!\\??\\" + m_c, std::string(1, '\0'), ":", "x"};
    for (int round = 0; round < 200; ++round)
    {
        std::string bytes;
        const int count = static_cast<int>(random() % 12);
        for (int i = 0; i < count; ++i)
            bytes += pieces[random() % 6];
        WriteQueue(REG_BINARY, bytes);
        CFileInfoList list;
        EXPECT_TRUE(list.LoadPendingFromRegistry());
        for (std::size_t i = 0; i < list.GetCount(); ++i)
            EXPECT_TRUE(PathExists(list.GetAt(i)->GetSource()));
    }
}

TEST(OrvlinePending, WithoutAQueueExitsWith3)
{
    ClearPendingQueue();
    const SRunResult run = RunOrvline("/pending");
    EXPECT_EQ(3u, run.exitCode);
    EXPECT_EQ(std::string(kBanner) + kGathering, run.out);
    const std::string text = SystemText(ERROR_FILE_NOT_FOUND);
    ASSERT_FALSE(text.empty());
    EXPECT_EQ("\r\nTraitement echoue: " + text + " (2)\r\n", run.err);
}

TEST(OrvlinePending, RunsTheQueueAndQueuesTheLockedAgain)
{
    ClearPendingQueue();
    CScratchDir dir;
    const std::string freeFile = dir / "free.tmp";
    const std::string locked = dir / "locked.dll";
    const std::string newer = dir / "newer.dll";
    const std::string installed = dir / "installed.dll";
    const std::string oldName = dir / "old name.txt";
    const std::string newName = dir / "new name.txt";
    const std::string gone = dir / "gone.tmp";
    for (const std::string& file : {freeFile, locked, newer, installed, oldName, gone})
        ASSERT_TRUE(WriteFileBytes(file, file));

    CHolder holder(CHolder::Open, locked);
    ASSERT_TRUE(holder.IsHolding());
    ASSERT_TRUE(MoveFileExA(freeFile.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
    ASSERT_TRUE(MoveFileExA(locked.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
    ASSERT_TRUE(MoveFileExA(newer.c_str(), installed.c_str(),
                            MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING));
    ASSERT_TRUE(MoveFileExA(gone.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
    ASSERT_TRUE(MoveFileExA(oldName.c_str(), newName.c_str(), MOVEFILE_DELAY_UNTIL_REBOOT));
    ASSERT_TRUE(DeleteFileA(gone.c_str()));
    DWORD queuedType = 0;
    const std::string queued = ReadValue(kQueueValue, &queuedType);
    ASSERT_NE("<none>", queued);

    const SRunResult run = RunOrvline("/p");
    EXPECT_EQ(0u, run.exitCode) << run.err;
    EXPECT_EQ(std::string(kBanner) + kGathering + "Traitement...\r\nFait.\r\n", run.out);
    EXPECT_EQ("", run.err);

    // The free operations are done now.
    EXPECT_FALSE(PathExists(freeFile));
    EXPECT_EQ(newer, ReadFileBytes(installed));
    EXPECT_FALSE(PathExists(oldName));
    EXPECT_EQ(oldName, ReadFileBytes(newName));
    // The queue went to the backup as it was; only the locked file is
    // queued again.
    DWORD backupType = 0;
    EXPECT_EQ(queued, ReadValue(kBackupValue, &backupType));
    EXPECT_EQ(queuedType, backupType);
    std::vector<char> bytes;
    ASSERT_TRUE(ReadPendingValue(bytes));
    std::vector<std::string> strings = SplitMultiString(bytes);
    while (!strings.empty() && strings.back().empty())
        strings.pop_back();
    EXPECT_EQ((std::vector<std::string>{"\\??\\" + locked}), strings);

    holder.Release();
    ASSERT_TRUE(RestartPrefix());
    EXPECT_FALSE(PathExists(locked));
    EXPECT_EQ("<none>", ReadValue(kQueueValue));
    EXPECT_TRUE(PathExists(newer));
    EXPECT_TRUE(PathExists(newName));
    ClearPendingQueue();
}

TEST(OrvlinePending, BinaryValueWrittenDirectly)
{
    ClearPendingQueue();
    CScratchDir dir;
    const std::string a = dir / "a.tmp";
    const std::string b = dir / "b.dll";
    const std::string c = dir / "c.dll";
    const std::string folder = dir / "folder";
    const std::string moved = dir / "sub\\folder";
    ASSERT_TRUE(WriteFileBytes(a, "a"));
    ASSERT_TRUE(WriteFileBytes(b, "b"));
    ASSERT_TRUE(WriteFileBytes(c, "c"));
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA((dir / "sub").c_str(), nullptr));
    const std::string value = MultiString({"\\??\\" + a, "", "\\??\\" + b, "!\\??\\" + c,
                                           "\\??\\" + folder, "\\??\\" + moved});
    WriteQueue(REG_BINARY, value);
    DeleteFileA(GetBinPath("orvline.txt").c_str());

    const SRunResult run = RunOrvline("/pending /log");
    EXPECT_EQ(0u, run.exitCode) << run.err;
    EXPECT_FALSE(PathExists(a));
    EXPECT_EQ("b", ReadFileBytes(c));
    EXPECT_FALSE(PathExists(folder));
    EXPECT_TRUE(PathIsDirectoryA(moved.c_str()));
    DWORD type = 0;
    EXPECT_EQ(value, ReadValue(kBackupValue, &type));
    EXPECT_EQ(static_cast<DWORD>(REG_BINARY), type);
    EXPECT_EQ("<none>", ReadValue(kQueueValue));

    // The report lists the operations taken over, in the queue's order.
    const std::string report = ReadFileBytes(GetBinPath("orvline.txt"));
    DeleteFileA(GetBinPath("orvline.txt").c_str());
    const std::size_t first = report.find(a + "\r\nStatut:: suppression effectuee avec succes");
    const std::size_t second = report.find(c + "\r\nStatut:: remplacement effectue avec succes");
    const std::size_t third = report.find(moved + "\r\nStatut:: deplacement effectue avec succes");
    EXPECT_NE(std::string::npos, first) << report;
    EXPECT_LT(first, second);
    EXPECT_LT(second, third);
    EXPECT_NE(std::string::npos, third) << report;
    ClearPendingQueue();
}

TEST(OrvlinePending, PendingAndASourceOperation)
{
    ClearPendingQueue();
    CScratchDir dir;
    const std::string queued = dir / "queued.tmp";
    const std::string given = dir / "given.tmp";
    ASSERT_TRUE(WriteFileBytes(queued, "q"));
    ASSERT_TRUE(WriteFileBytes(given, "g"));
    WriteQueue(REG_MULTI_SZ, MultiString({"\\??\\" + queued, ""}));

    const SRunResult run = RunOrvline(Quote(given) + " /PENDING");
    EXPECT_EQ(0u, run.exitCode) << run.err;
    EXPECT_EQ(std::string(kBanner) + kGathering + "Traitement...\r\nFait.\r\n", run.out);
    EXPECT_FALSE(PathExists(queued));
    EXPECT_FALSE(PathExists(given));
    ClearPendingQueue();
}
