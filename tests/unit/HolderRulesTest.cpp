// The rules of the holder scan: native names as drive paths, what lies
// inside a folder, one row per process, the handle table and object names
// as hostile bytes, and the watchdog over queries that never return.
#include "inspect/HandleRelease.h"
#include "inspect/HolderScan.h"
#include "tests/support/HandleTableLayout.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
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

TEST(MergeHolder, OneRowPerProcess)
{
    CHolderList rows;
    auto holder = [](DWORD id, DWORD task, const char* image, DWORD heldAs) {
        SHolder h;
        h.processId = id;
        h.taskThreadId = task;
        h.imagePath = image;
        h.heldAs = heldAs;
        return h;
    };
    ASSERT_TRUE(MergeHolder(rows, holder(10, 0, "C:\\a.exe", HeldLoaded)));
    ASSERT_TRUE(MergeHolder(rows, holder(20, 0, "", HeldOpen)));
    ASSERT_TRUE(MergeHolder(rows, holder(10, 0, "", HeldOpen)));
    SHolder twoHandles = holder(20, 0, "C:\\b.exe", HeldOpen);
    twoHandles.openHandles = {0x44, 0x48};
    ASSERT_TRUE(MergeHolder(rows, twoHandles));
    // A 16-bit task is a row of its own beside its NTVDM process.
    ASSERT_TRUE(MergeHolder(rows, holder(10, 7, "C:\\w16.exe", HeldLoaded)));

    ASSERT_EQ(3u, rows.size());
    EXPECT_EQ(10u, rows[0].processId);
    EXPECT_EQ(static_cast<DWORD>(HeldLoaded | HeldOpen), rows[0].heldAs);
    EXPECT_EQ("C:\\a.exe", rows[0].imagePath);
    EXPECT_EQ(20u, rows[1].processId);
    EXPECT_EQ(static_cast<DWORD>(HeldOpen), rows[1].heldAs);
    EXPECT_EQ("C:\\b.exe", rows[1].imagePath);
    EXPECT_EQ((std::vector<ULONG_PTR>{0x44, 0x48}), rows[1].openHandles);
    EXPECT_EQ(7u, rows[2].taskThreadId);
}

TEST(IsCriticalProcess, TheSystemsOwnByIdOrName)
{
    for (const DWORD id : {0u, 4u, 8u})
        EXPECT_TRUE(IsCriticalProcess(id, "C:\\x\\tool.exe")) << id;
    for (const char* image : {"C:\\WINDOWS\\system32\\CSRSS.EXE", "smss.exe", "C:\\w\\wininit.exe",
                              "services.exe", "C:\\w\\Lsass.exe", "winlogon.exe", ""})
        EXPECT_TRUE(IsCriticalProcess(1234, image)) << image;
    for (const char* image : {"C:\\w\\explorer.exe", "C:\\csrss.exe\\tool.exe", "C:\\w\\csrss.exe.bak"})
        EXPECT_FALSE(IsCriticalProcess(1234, image)) << image;
}

TEST(ParseHandleTable, TheStatedCountIsNotTrusted)
{
    SExtendedEntry file{};
    file.processId = 0x12345;
    file.handle = 0x1a4;
    file.type = 37;
    SExtendedEntry other = file;
    other.processId = 8;
    other.type = 5;

    SLegacyEntry legacy{};
    legacy.processId = 0x2345;
    legacy.handle = 0x1c;
    legacy.type = 28;

    struct
    {
        std::vector<BYTE> bytes;
        ULONG infoClass;
        bool parsed;
        std::size_t count;
    } cases[] = {
        {MakeTable<ULONG_PTR>(2, std::vector<SExtendedEntry>{file, other}, kExtendedHeader), 64, true, 2},
        // More entries claimed than the bytes hold: only those that are there.
        {MakeTable<ULONG_PTR>(~ULONG_PTR(0), std::vector<SExtendedEntry>{file}, kExtendedHeader), 64, true, 1},
        {MakeTable<ULONG_PTR>(0x7fffffff, std::vector<SExtendedEntry>{}, kExtendedHeader), 64, true, 0},
        {MakeTable<ULONG>(1, std::vector<SLegacyEntry>{legacy}, kLegacyHeader), 16, true, 1},
        {MakeTable<ULONG>(1000, std::vector<SLegacyEntry>{legacy}, kLegacyHeader), 16, true, 1},
        // Shorter than the header; a class that is no table.
        {std::vector<BYTE>(3), 16, false, 0},
        {std::vector<BYTE>(sizeof(ULONG_PTR)), 64, false, 0},
        {MakeTable<ULONG>(1, std::vector<SLegacyEntry>{legacy}, kLegacyHeader), 5, false, 0},
    };
    for (const auto& c : cases)
    {
        std::vector<SHandleEntry> entries(3);
        EXPECT_EQ(c.parsed, ParseHandleTable(c.bytes.data(), c.bytes.size(), c.infoClass, entries))
            << c.infoClass << " " << c.bytes.size();
        EXPECT_EQ(c.count, entries.size()) << c.infoClass << " " << c.bytes.size();
    }

    std::vector<SHandleEntry> entries;
    const std::vector<BYTE> extended =
        MakeTable<ULONG_PTR>(2, std::vector<SExtendedEntry>{file, other}, kExtendedHeader);
    ASSERT_TRUE(ParseHandleTable(extended.data(), extended.size(), 64, entries));
    ASSERT_EQ(2u, entries.size());
    EXPECT_EQ(0x12345u, entries[0].processId);
    EXPECT_EQ(0x1a4u, entries[0].handle);
    EXPECT_EQ(37u, entries[0].type);
    EXPECT_EQ(5u, entries[1].type);
    const std::vector<BYTE> older = MakeTable<ULONG>(1, std::vector<SLegacyEntry>{legacy}, kLegacyHeader);
    ASSERT_TRUE(ParseHandleTable(older.data(), older.size(), 16, entries));
    ASSERT_EQ(1u, entries.size());
    EXPECT_EQ(0x2345u, entries[0].processId);
    EXPECT_EQ(0x1cu, entries[0].handle);
    EXPECT_EQ(28u, entries[0].type);
}

TEST(ReadObjectName, LengthAndPlaceAreChecked)
{
    struct SName
    {
        USHORT length;
        USHORT maximum;
        const wchar_t* buffer;
        wchar_t text[8];
    };
    struct
    {
        int length;     // bytes claimed
        int offset;     // characters from the start of the text
        bool outside;   // the pointer leaves the bytes
        bool read;
        const wchar_t* name;
    } cases[] = {
        {10, 0, false, true, L"\\??\\C"},
        {16, 0, false, true, L"\\??\\C:\\x"},
        {0, 0, false, true, L""},
        {9, 0, false, false, L""},     // odd
        {18, 0, false, false, L""},    // beyond the bytes
        {4, 6, false, true, L"\\x"},
        {6, 6, false, false, L""},     // runs past the end
        {2, 0, true, false, L""},      // somewhere else in memory
    };
    static const wchar_t elsewhere[] = L"zz";
    for (const auto& c : cases)
    {
        SName name{};
        std::memcpy(name.text, L"\\??\\C:\\x", 8 * sizeof(wchar_t));
        name.length = static_cast<USHORT>(c.length);
        name.buffer = c.outside ? elsewhere : name.text + c.offset;
        std::wstring text = L"left";
        EXPECT_EQ(c.read, ReadObjectName(reinterpret_cast<const BYTE*>(&name), sizeof(name), text))
            << c.length << " " << c.offset;
        EXPECT_EQ(c.name, text) << c.length << " " << c.offset;
    }
    std::wstring text;
    EXPECT_FALSE(ReadObjectName(nullptr, 0, text));
    const BYTE few[3] = {};
    EXPECT_FALSE(ReadObjectName(few, sizeof(few), text));
}

// Items 2 and 5 never answer until the test lets them go.
class CHangingJob : public CQueryJob
{
public:
    explicit CHangingJob(HANDLE release) : m_release(release) {}
    std::size_t GetCount() const override { return 7; }
    bool Query(std::size_t index, std::string& answer) override
    {
        if (index == 2 || index == 5)
            ::WaitForSingleObject(m_release, INFINITE);
        if (index % 2 == 1)
            return false;
        answer = "item " + std::to_string(index);
        return true;
    }

private:
    HANDLE m_release;
};

struct SRun
{
    std::shared_ptr<CQueryJob> job;
    std::vector<SQueryAnswer> answers;
    bool complete = false;
};

DWORD WINAPI RunJob(void* parameter)
{
    auto* run = static_cast<SRun*>(parameter);
    run->complete = RunQueries(run->job, 200, run->answers);
    return 0;
}

TEST(RunQueries, AHungQueryIsLeftBehind)
{
    CHandle release(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    ASSERT_TRUE(release);
    SRun run;
    run.job = std::make_shared<CHangingJob>(release.Get());
    // Run aside, so that a scan that waits for the hung items fails here
    // instead of hanging the test program.
    CHandle runner(::CreateThread(nullptr, 0, RunJob, &run, 0, nullptr));
    ASSERT_TRUE(runner);
    const DWORD waited = ::WaitForSingleObject(runner.Get(), 60000);
    ::SetEvent(release.Get());
    ASSERT_EQ(WAIT_OBJECT_0, waited);
    EXPECT_TRUE(run.complete);
    std::vector<std::string> found;
    for (const SQueryAnswer& answer : run.answers)
        found.push_back(answer.answer + " @" + std::to_string(answer.index));
    EXPECT_EQ((std::vector<std::string>{"item 0 @0", "item 4 @4", "item 6 @6"}), found);
    // The workers left behind answer now, into jobs nobody reads.
    ::Sleep(100);
}

} // namespace
