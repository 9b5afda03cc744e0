// The restart queue's byte and line rules: the prefix rule, the walk over a
// PendingFileRenameOperations value and the [rename] section reader, also
// fed with damaged and generated input.
#include "engine/PendingParser.h"
#include "engine/Text.h"
#include "tests/support/GuardedBytes.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <mbctype.h>

#include <algorithm>
#include <cstring>
#include <random>

namespace
{

std::wstring Widen(const std::string& bytes)
{
    std::wstring text;
    for (char c : bytes)
        text += static_cast<wchar_t>(static_cast<unsigned char>(c));
    return text;
}

std::string Narrow(const std::wstring& text)
{
    std::string bytes;
    for (wchar_t c : text)
        bytes += static_cast<char>(c);
    return bytes;
}

// The pairs of a value whose characters are the given bytes, each widened,
// placed flush against a page that may not be touched.
std::vector<PendingPair> ParseGuarded(const std::string& bytes, std::size_t count = std::string::npos)
{
    const std::wstring text = Widen(bytes);
    CGuardedBytes guarded(text.data(), text.size() * sizeof(wchar_t));
    EXPECT_NE(nullptr, guarded.Data());
    std::vector<PendingPair> pairs;
    const auto entries = ParsePendingEntries(reinterpret_cast<const wchar_t*>(guarded.Data()),
                                             std::min(count, text.size()));
    for (const SPendingEntry& entry : entries)
    {
        EXPECT_LE(entry.begin, entry.end);
        EXPECT_LE(entry.end, text.size());
        pairs.emplace_back(Narrow(entry.source), Narrow(entry.target));
    }
    return pairs;
}

PendingPair Pair(const std::string& source, const std::string& target)
{
    return PendingPair(source, target);
}

} // namespace

TEST(ReadQueuePath, OnlyFullDrivePathsReadWhole)
{
    struct
    {
        const wchar_t* text;
        bool allowReplace;
        const char* path; // null: not taken over
        bool replace;
    } cases[] = {
        {L"\\??\\C:\\a.dll", false, "C:\\a.dll", false},
        {L"!\\??\\C:\\b.dll", true, "C:\\b.dll", true},
        {L"\\??\\c:\\dir\\f.txt", true, "c:\\dir\\f.txt", false},
        // A "!" on a source, a drive root, a drive without a root.
        {L"!\\??\\C:\\b.dll", false, nullptr, false},
        {L"\\??\\C:\\", false, nullptr, false},
        {L"\\??\\C:", false, nullptr, false},
        {L"\\??\\z:", false, nullptr, false},
        // What a misread of UTF-16 bytes or another form gives.
        {L"C", false, nullptr, false},
        {L"C:\\x", false, nullptr, false},
        {L"\\??\\UNC\\server\\share\\f.dll", false, nullptr, false},
        {L"\\??\\C:\\f.txt:stream", false, nullptr, false},
        {L"\\??\\C:\\t\\..\\a.txt", false, nullptr, false},
        {L"\\??\\C:\\t\\.\\a.txt", false, nullptr, false},
        {L"\\??\\C:\\t\\\\a.txt", false, nullptr, false},
        {L"\\??\\C:\\t\\a.txt.", false, nullptr, false},
        {L"\\??\\C:\\t\\a.txt ", false, nullptr, false},
        {L"\\??\\C:\\t/a.txt", false, nullptr, false},
        // A character the ANSI code page (1252 here) lacks.
        {L"\\??\\C:\\q\\\x0416\x0443\x043a.dll", false, nullptr, false},
        {L"", true, nullptr, false},
        {L"!", true, nullptr, false},
    };
    for (const auto& c : cases)
    {
        std::string path;
        bool replace = !c.replace;
        const bool read = ReadQueuePath(c.text, c.allowReplace, path, replace);
        EXPECT_EQ(c.path != nullptr, read) << Narrow(c.text);
        if (c.path)
        {
            EXPECT_EQ(c.path, path);
            EXPECT_EQ(c.replace, replace) << Narrow(c.text);
        }
    }
    std::string path;
    bool replace = false;
    EXPECT_FALSE(ReadQueuePath(L"\\??\\C:\\" + std::wstring(300, L'a'), false, path, replace));
}

TEST(RemovePendingEntries, CutsOutOnlyWhatWasTaken)
{
    const std::wstring a(L"\\??\\C:\\a\0\0", 10);
    const std::wstring b(L"\\??\\C:\\b\0!\\??\\C:\\c\0", 19);
    const std::wstring unc(L"\\??\\UNC\\s\\f\0\0", 13);
    const std::wstring end(1, L'\0');
    // Taken entries go one each; the others stay in their order.
    EXPECT_EQ(unc + b + end, RemovePendingEntries(a + unc + b + end, {a}));
    EXPECT_EQ(unc + a + end, RemovePendingEntries(a + unc + a + b + end, {a, b}));
    EXPECT_EQ(unc + end, RemovePendingEntries(unc + a + end, {a, a}));
    // An entry taken over but gone from the queue removes nothing.
    EXPECT_EQ(unc + end, RemovePendingEntries(unc + end, {b}));
    // Bytes after the final empty string stay.
    EXPECT_EQ(std::wstring(L"\0x", 2), RemovePendingEntries(a + std::wstring(L"\0x", 2), {a}));
}

TEST(MarkWinInitLines, OnlyTheTakenLinesBecomeCommentsInPlace)
{
    const std::string text = "[CombineVxDs]\r\nx=y\r\n[rename]\r\nNUL=C:\\A.TMP\r\n; note\r\n"
                             "C:\\NEW.DLL=C:\\TEMP\\NEW.DLL\nNUL=C:\\A.TMP\r\n[other]\r\nNUL=C:\\A.TMP\r\n";
    EXPECT_EQ("[CombineVxDs]\r\nx=y\r\n[rename]\r\n;UL;C:\\A.TMP\r\n; note\r\nC:\\NEW.DLL=C:\\TEMP\\NEW.DLL\n"
              "NUL=C:\\A.TMP\r\n[other]\r\nNUL=C:\\A.TMP\r\n",
              MarkWinInitLines(text, {"NUL=C:\\A.TMP"}));
    const std::string all = MarkWinInitLines(text, {"NUL=C:\\A.TMP", "C:\\NEW.DLL=C:\\TEMP\\NEW.DLL",
                                                    "NUL=C:\\A.TMP", "NUL=C:\\A.TMP"});
    EXPECT_EQ("[CombineVxDs]\r\nx=y\r\n[rename]\r\n;UL;C:\\A.TMP\r\n; note\r\n;:\\NEW.DLL;C:\\TEMP\\NEW.DLL\n"
              ";UL;C:\\A.TMP\r\n[other]\r\nNUL=C:\\A.TMP\r\n",
              all);
    // Marked lines are no entries any more, for this reader as for others:
    // no "=" is left in them.
    EXPECT_TRUE(ParseWinInitEntries(all).empty());
    EXPECT_EQ(text, MarkWinInitLines(text, {"NUL=C:\\B.TMP", "x=y"}));
    // The last line without its line end; every "=" of a line, blanks before it.
    EXPECT_EQ("[rename]\r\n;UL;C:\\A.TMP", MarkWinInitLines("[rename]\r\nNUL=C:\\A.TMP", {"NUL=C:\\A.TMP"}));
    EXPECT_EQ("[rename]\n;;b;c\n;a ; C:\\b\n",
              MarkWinInitLines("[rename]\na=b=c\n\ta = C:\\b\n", {"a=b=c", "\ta = C:\\b"}));
}

TEST(ParsePendingValue, PairsInStoredOrder)
{
    const std::string value("\\??\\C:\\a.tmp\0\0\\??\\C:\\b.dll\0!\\??\\C:\\c.dll\0\0", 40);
    const std::vector<PendingPair> pairs = ParseGuarded(value);
    ASSERT_EQ(2u, pairs.size());
    EXPECT_EQ(Pair("\\??\\C:\\a.tmp", ""), pairs[0]);
    EXPECT_EQ(Pair("\\??\\C:\\b.dll", "!\\??\\C:\\c.dll"), pairs[1]);
}

TEST(ParsePendingValue, EmptyValues)
{
    EXPECT_TRUE(ParseGuarded(std::string("\0", 1)).empty());
    EXPECT_TRUE(ParseGuarded(std::string("\0\0", 2)).empty());
    EXPECT_TRUE(ParseGuarded("").empty());
    EXPECT_TRUE(ParsePendingEntries(nullptr, 10).empty());
    // An empty string where a source would begin ends the walk.
    EXPECT_TRUE(ParseGuarded(std::string("\0\\??\\C:\\a\0\0", 11)).empty());
}

TEST(ParsePendingValue, DataThatEndsEarly)
{
    // No final empty string: the walk ends with the data.
    std::vector<PendingPair> pairs = ParseGuarded(std::string("\\??\\C:\\a\0\0", 10));
    ASSERT_EQ(1u, pairs.size());
    EXPECT_EQ(Pair("\\??\\C:\\a", ""), pairs[0]);

    // A source without a target string is dropped.
    pairs = ParseGuarded(std::string("\\??\\C:\\a\0\0\\??\\C:\\b\0", 19));
    ASSERT_EQ(1u, pairs.size());
    EXPECT_EQ(Pair("\\??\\C:\\a", ""), pairs[0]);
    EXPECT_TRUE(ParseGuarded(std::string("\\??\\C:\\lone")).empty());
    EXPECT_TRUE(ParseGuarded(std::string("\\??\\C:\\lone\0", 12)).empty());

    // A target cut off by the end of the data ends at the last byte.
    pairs = ParseGuarded(std::string("\\??\\C:\\a\0!\\??\\C:\\b", 18));
    ASSERT_EQ(1u, pairs.size());
    EXPECT_EQ(Pair("\\??\\C:\\a", "!\\??\\C:\\b"), pairs[0]);
}

TEST(ParsePendingValue, SizeBoundsTheWalk)
{
    // Bytes after `size` are never looked at.
    const std::string value("\\??\\C:\\a\0\0\\??\\C:\\b\0\0\0", 21);
    EXPECT_EQ(1u, ParseGuarded(value, 10).size());
    EXPECT_EQ(2u, ParseGuarded(value).size());
    EXPECT_TRUE(ParseGuarded(value, 0).empty());
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
    EXPECT_EQ(Pair("\\??\\C:\\folder\\file19999.tmp", ""), pairs.back());

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
    EXPECT_EQ("C:\\a b", TrimBlanks(" \t C:\\a b \r\n"));
}

TEST(TrimBlanks, DoubleByteCharacters)
{
    ASSERT_EQ(0, _setmbcp(932));
    // 0x82 0xA0 is one character; a lead byte cut off at the end is one byte.
    EXPECT_EQ("\x82\xa0", TrimBlanks(" \x82\xa0 "));
    EXPECT_EQ("a\x82", TrimBlanks("a\x82 "));
    EXPECT_EQ("\x82", TrimBlanks("\x82"));
    // A trail byte 0x5C is no separator: no empty component here.
    EXPECT_TRUE(IsFullDrivePath("C:\\\x83\x5c"));
    EXPECT_TRUE(IsFullDrivePath("C:\\\x83\x5c\\a.dll"));
    EXPECT_FALSE(IsFullDrivePath("C:\\a\\\\\x83\x5c"));
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
    // An empty left side is no deletion: the restart leaves the line alone.
    ASSERT_EQ(2u, pairs.size());
    EXPECT_EQ(Pair("b=c", "a"), pairs[0]);
    EXPECT_EQ(Pair("C:\\y", ""), pairs[1]);
    const std::vector<SWinInitEntry> entries = ParseWinInitEntries("[rename]\n=C:\\x.dll\nNUL=C:\\y\n");
    ASSERT_EQ(2u, entries.size());
    EXPECT_TRUE(entries[0].inert);
    EXPECT_EQ("C:\\x.dll", entries[0].source);
    EXPECT_FALSE(entries[1].inert);
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
