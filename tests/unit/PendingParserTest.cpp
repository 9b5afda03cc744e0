// The restart queue's byte and line rules: the prefix rule, the walk over a
// PendingFileRenameOperations value and the [rename] section reader, also
// fed with damaged and generated input.
#include "PendingParser.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <mbctype.h>

#include <cstring>
#include <random>

namespace
{

// The bytes placed flush against a page that may not be touched, so that
// reading a single byte beyond them faults.
class CGuardedBytes
{
public:
    explicit CGuardedBytes(const std::string& bytes)
    {
        SYSTEM_INFO info = {};
        ::GetSystemInfo(&info);
        const std::size_t page = info.dwPageSize;
        const std::size_t dataPages = (bytes.size() + page - 1) / page + 1;
        m_size = (dataPages + 1) * page;
        m_base = static_cast<char*>(
            ::VirtualAlloc(nullptr, m_size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
        if (!m_base)
            return;
        char* guard = m_base + dataPages * page;
        DWORD old = 0;
        ::VirtualProtect(guard, page, PAGE_NOACCESS, &old);
        m_data = guard - bytes.size();
        if (!bytes.empty())
            std::memcpy(m_data, bytes.data(), bytes.size());
    }
    ~CGuardedBytes()
    {
        if (m_base)
            ::VirtualFree(m_base, 0, MEM_RELEASE);
    }
    CGuardedBytes(const CGuardedBytes&) = delete;
    CGuardedBytes& operator=(const CGuardedBytes&) = delete;

    const char* Data() const { return m_data; }

private:
    char* m_base = nullptr;
    char* m_data = nullptr;
    std::size_t m_size = 0;
};

std::vector<PendingPair> ParseGuarded(const std::string& bytes)
{
    CGuardedBytes guarded(bytes);
    EXPECT_NE(nullptr, guarded.Data());
    return ParsePendingValue(guarded.Data(), bytes.size());
}

PendingPair Pair(const std::string& source, const std::string& target)
{
    return PendingPair(source, target);
}

} // namespace

TEST(StripQueuePrefix, DriveLetterStartsThePath)
{
    EXPECT_EQ("C:\\a.dll", StripQueuePrefix("\\??\\C:\\a.dll"));
    EXPECT_EQ("C:\\b.dll", StripQueuePrefix("!\\??\\C:\\b.dll"));
    EXPECT_EQ("C:\\x", StripQueuePrefix("C:\\x"));
    EXPECT_EQ("z:", StripQueuePrefix("\\??\\z:"));
    // Only the first colon counts.
    EXPECT_EQ("C:\\f.txt:stream", StripQueuePrefix("\\??\\C:\\f.txt:stream"));
    // Without a drive colon the text stays whole.
    EXPECT_EQ("\\??\\UNC\\server\\share\\f.dll", StripQueuePrefix("\\??\\UNC\\server\\share\\f.dll"));
    EXPECT_EQ(":abc", StripQueuePrefix(":abc"));
    EXPECT_EQ("", StripQueuePrefix(""));
    EXPECT_EQ("!", StripQueuePrefix("!"));
}

TEST(ParsePendingValue, PairsInStoredOrder)
{
    const std::string value("\\??\\C:\\a.tmp\0\0\\??\\C:\\b.dll\0!\\??\\C:\\c.dll\0\0", 40);
    const std::vector<PendingPair> pairs = ParseGuarded(value);
    ASSERT_EQ(2u, pairs.size());
    EXPECT_EQ(Pair("C:\\a.tmp", ""), pairs[0]);
    EXPECT_EQ(Pair("C:\\b.dll", "C:\\c.dll"), pairs[1]);
}

TEST(ParsePendingValue, EmptyValues)
{
    EXPECT_TRUE(ParseGuarded(std::string("\0", 1)).empty());
    EXPECT_TRUE(ParseGuarded(std::string("\0\0", 2)).empty());
    EXPECT_TRUE(ParseGuarded("").empty());
    EXPECT_TRUE(ParsePendingValue(nullptr, 10).empty());
    // An empty string where a source would begin ends the walk.
    EXPECT_TRUE(ParseGuarded(std::string("\0\\??\\C:\\a\0\0", 11)).empty());
}

TEST(ParsePendingValue, DataThatEndsEarly)
{
    // No final empty string: the walk ends with the data.
    std::vector<PendingPair> pairs = ParseGuarded(std::string("\\??\\C:\\a\0\0", 10));
    ASSERT_EQ(1u, pairs.size());
    EXPECT_EQ(Pair("C:\\a", ""), pairs[0]);

    // A source without a target string is dropped.
    pairs = ParseGuarded(std::string("\\??\\C:\\a\0\0\\??\\C:\\b\0", 19));
    ASSERT_EQ(1u, pairs.size());
    EXPECT_EQ(Pair("C:\\a", ""), pairs[0]);
    EXPECT_TRUE(ParseGuarded(std::string("\\??\\C:\\lone")).empty());
    EXPECT_TRUE(ParseGuarded(std::string("\\??\\C:\\lone\0", 12)).empty());

    // A target cut off by the end of the data ends at the last byte.
    pairs = ParseGuarded(std::string("\\??\\C:\\a\0!\\??\\C:\\b", 18));
    ASSERT_EQ(1u, pairs.size());
    EXPECT_EQ(Pair("C:\\a", "C:\\b"), pairs[0]);
}

TEST(ParsePendingValue, SizeBoundsTheWalk)
{
    // Bytes after `size` are never looked at.
    const std::string value("\\??\\C:\\a\0\0\\??\\C:\\b\0\0\0", 21);
    EXPECT_EQ(1u, ParsePendingValue(value.data(), 10).size());
    EXPECT_EQ(2u, ParsePendingValue(value.data(), value.size()).size());
    EXPECT_TRUE(ParsePendingValue(value.data(), 0).empty());
}

TEST(ParsePendingValue, HugeValue)
{
    std::string value;
    for (int i = 0; i < 20000; ++i)
        value += "\\??\\C:\\folder\\file" + std::to_string(i) + ".tmp" + std::string(1, '\0') +
                 std::string(1, '\0');
    value.append(std::string(1, '\0'));
    const std::vector<PendingPair> pairs = ParseGuarded(value);
    ASSERT_EQ(20000u, pairs.size());
    EXPECT_EQ(Pair("C:\\folder\\file19999.tmp", ""), pairs.back());

    // One string of a megabyte without any terminator.
    const std::string lone(1 << 20, 'x');
    EXPECT_TRUE(ParseGuarded(lone).empty());
}

TEST(ParsePendingValue, GeneratedInputStaysInsideTheBuffer)
{
    std::mt19937 random(20261206u);
    const char alphabet[] = {'\0', '\0', '\0', ':', ':', '\\', '?', '!', 'C', 'a', '\x82', '\xff'};
    for (int round = 0; round < 3000; ++round)
    {
        const std::size_t size = random() % (round < 2900 ? 64 : 4096);
        std::string bytes(size, '\0');
        for (char& c : bytes)
            c = alphabet[random() % sizeof(alphabet)];

        const std::vector<PendingPair> pairs = ParseGuarded(bytes);
        std::size_t total = 0;
        for (const PendingPair& pair : pairs)
        {
            EXPECT_EQ(std::string::npos, pair.first.find('\0'));
            EXPECT_EQ(std::string::npos, pair.second.find('\0'));
            EXPECT_FALSE(pair.first.empty());
            total += pair.first.size() + pair.second.size() + 1;
        }
        ASSERT_LE(total, size) << "round " << round;
        ASSERT_LE(pairs.size() * 2, size + 1) << "round " << round;
    }
}

TEST(TrimBlanks, BothEnds)
{
    EXPECT_EQ("[RENAME]", TrimBlanks("  [RENAME]  "));
    EXPECT_EQ("a b", TrimBlanks("\t a b \r"));
    EXPECT_EQ("", TrimBlanks(" \t\r\n\v\f"));
    EXPECT_EQ("", TrimBlanks(""));
    EXPECT_EQ("x", TrimBlanks("x"));
}

TEST(TrimBlanks, DoubleByteCharacters)
{
    ASSERT_EQ(0, _setmbcp(932));
    // 0x82 0xA0 is one character; a lead byte cut off at the end is one byte.
    EXPECT_EQ("\x82\xa0", TrimBlanks(" \x82\xa0 "));
    EXPECT_EQ("a\x82", TrimBlanks("a\x82 "));
    EXPECT_EQ("\x82", TrimBlanks("\x82"));
    EXPECT_EQ("C:\\\x82\xa0", StripQueuePrefix("\\??\\C:\\\x82\xa0"));
    EXPECT_EQ("\x82", StripQueuePrefix("\x82"));
    const std::vector<PendingPair> pairs =
        ParseWinInitRename("[rename]\nNUL=C:\\\x82\xa0.DLL \x82\n");
    ASSERT_EQ(1u, pairs.size());
    EXPECT_EQ(Pair("C:\\\x82\xa0.DLL \x82", ""), pairs[0]);
    _setmbcp(_MB_CP_ANSI);
}

TEST(ParseWinInitRename, SectionsCommentsAndDeletions)
{
    const std::string text = "[boot]\r\n"
                             "NUL=C:\\IGNORED.DLL\r\n"
                             "  [RENAME]  \r\n"
                             "; note\r\n"
                             "NUL=C:\\WINDOWS\\OLD.DLL\r\n"
                             "\r\n"
                             "dirnul=C:\\TEMP\\OLDDIR\r\n"
                             "no equals sign\r\n"
                             "  C:\\NEW.DLL  =  C:\\TEMP\\NEW.DLL  \r\n"
                             "[other]\r\n"
                             "NUL=C:\\AFTER.DLL\r\n"
                             "[rename]\r\n"
                             "NUL=C:\\SECOND.DLL\r\n";
    const std::vector<PendingPair> pairs = ParseWinInitRename(text);
    ASSERT_EQ(3u, pairs.size());
    EXPECT_EQ(Pair("C:\\WINDOWS\\OLD.DLL", ""), pairs[0]);
    EXPECT_EQ(Pair("C:\\TEMP\\OLDDIR", ""), pairs[1]);
    EXPECT_EQ(Pair("C:\\TEMP\\NEW.DLL", "C:\\NEW.DLL"), pairs[2]);
}

TEST(ParseWinInitRename, SplitAtTheFirstEqualsSign)
{
    const std::vector<PendingPair> pairs =
        ParseWinInitRename("[rename]\na=b=c\n=C:\\x.dll\nC:\\x.dll=\nNul=C:\\y\n;NUL=C:\\z\n");
    ASSERT_EQ(3u, pairs.size());
    EXPECT_EQ(Pair("b=c", "a"), pairs[0]);
    EXPECT_EQ(Pair("C:\\x.dll", ""), pairs[1]);
    EXPECT_EQ(Pair("C:\\y", ""), pairs[2]);
}

TEST(ParseWinInitRename, FilesWithoutAUsableSection)
{
    EXPECT_TRUE(ParseWinInitRename("").empty());
    EXPECT_TRUE(ParseWinInitRename("[boot]\nNUL=C:\\a\n").empty());
    EXPECT_TRUE(ParseWinInitRename("[rename]\n").empty());
    EXPECT_TRUE(ParseWinInitRename("[rename]").empty());
    EXPECT_TRUE(ParseWinInitRename("[rename]\n[boot]\nNUL=C:\\a\n").empty());
    EXPECT_TRUE(ParseWinInitRename("[renamed]\nNUL=C:\\a\n").empty());
    EXPECT_TRUE(ParseWinInitRename("x[rename]\nNUL=C:\\a\n").empty());
}

TEST(ParseWinInitRename, LineEndsAndOddBytes)
{
    // No final line feed; LF only; a zero byte ends its line.
    EXPECT_EQ(1u, ParseWinInitRename("[rename]\nNUL=C:\\last").size());
    std::vector<PendingPair> pairs =
        ParseWinInitRename(std::string("[rename]\nNUL=C:\\a\0junk\nB=C:\\b\n", 30));
    ASSERT_EQ(2u, pairs.size());
    EXPECT_EQ(Pair("C:\\a", ""), pairs[0]);
    EXPECT_EQ(Pair("C:\\b", "B"), pairs[1]);
    // A zero byte before the '=' leaves a line without one.
    EXPECT_TRUE(ParseWinInitRename(std::string("[rename]\nNUL\0=C:\\a\n", 18)).empty());

    const std::string longSource(100000, 'x');
    pairs = ParseWinInitRename("[rename]\r\nNUL=" + longSource + "\r\nNUL=C:\\b");
    ASSERT_EQ(2u, pairs.size());
    EXPECT_EQ(longSource, pairs[0].first);
    EXPECT_EQ(Pair("C:\\b", ""), pairs[1]);
}

TEST(ParseWinInitRename, GeneratedInput)
{
    std::mt19937 random(98u);
    const char* const pieces[] = {"[rename]", "[RENAME]", "[x]", "\n",  "\r\n", "=",  "NUL",
                                  "dirnul",   ";",        " ",   "\t",  "C:\\", "a",  "\x82",
                                  "\xff",     "[",        "]",   "\r",  "\n\n", "==", "\x1a"};
    for (int round = 0; round < 3000; ++round)
    {
        std::string text;
        const int count = static_cast<int>(random() % 60);
        for (int i = 0; i < count; ++i)
            text += pieces[random() % (sizeof(pieces) / sizeof(pieces[0]))];
        if (random() % 4 == 0)
            text.insert(random() % (text.size() + 1), 1, '\0');

        const std::vector<PendingPair> pairs = ParseWinInitRename(text);
        for (const PendingPair& pair : pairs)
        {
            ASSERT_FALSE(pair.first.empty()) << "round " << round;
            for (const std::string* side : {&pair.first, &pair.second})
            {
                EXPECT_EQ(std::string::npos, side->find_first_of(std::string("\n\0", 2)));
                EXPECT_EQ(*side, TrimBlanks(*side));
            }
            EXPECT_NE(std::string::npos, text.find(pair.first)) << "round " << round;
        }
    }
}
