// The handle table and object names as hostile bytes.
#include "inspect/HandleTable.h"
#include "tests/support/HandleTableLayout.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <vector>

namespace
{

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

} // namespace
