// The code pages behind the narrow strings, as plain rules over texts: exact
// conversions, the bytes of a text for the system's code pages, the values
// of the registry, the comparison of names and the report's encoding.
#include "engine/CodePage.h"
#include "engine/Report.h"
#include "engine/Text.h"

#include <gtest/gtest.h>

TEST(CodePage, ExactConversions)
{
    const struct
    {
        const wchar_t* text;
        UINT codePage;
        bool exact;
        const char* bytes; // when exact
    } cases[] = {
        {L"caf\x00e9", 1252, true, "caf\xe9"},
        {L"caf\x00e9", 437, true, "caf\x82"},
        {L"\x65e5\x672c", 1252, false, nullptr},
        // Best fit would give "f" and "'": other names.
        {L"\xff46", 437, false, nullptr},
        {L"l\x2019" L"a", 437, false, nullptr},
        {L"\x65e5\x672c", CP_UTF8, true, "\xe6\x97\xa5\xe6\x9c\xac"},
        {L"\x0416\x03a3", CP_UTF8, true, "\xd0\x96\xce\xa3"},
        {L"\xd83d\xde00", CP_UTF8, true, "\xf0\x9f\x98\x80"},
        {L"e\x0301", CP_UTF8, true, "e\xcc\x81"},
        // A surrogate alone has no UTF-8 form.
        {L"a\xd800", CP_UTF8, false, nullptr},
        {L"", CP_UTF8, true, ""},
    };
    for (const auto& c : cases)
    {
        std::string bytes;
        EXPECT_EQ(c.exact, ToCodePageExactly(c.text, c.codePage, bytes)) << c.codePage;
        if (c.exact)
        {
            EXPECT_EQ(c.bytes, bytes) << c.codePage;
        }
    }
}

TEST(CodePage, NamesDecideTheBytesOfAText)
{
    // A system text takes the nearest character as before; a name that the
    // code page lacks turns the whole text to UTF-8.
    const std::wstring line = L"C:\\u\\caf\x00e9\\x.txt: l\x2019" L"acc\x00e8s (5)\r\n";
    const struct
    {
        std::vector<std::wstring> names;
        UINT codePage;
        bool utf8;
        std::string bytes;
    } cases[] = {
        {{L"C:\\u\\caf\x00e9\\x.txt"}, 437, false, "C:\\u\\caf\x82\\x.txt: l'acc\x8as (5)\r\n"},
        {{}, 437, false, "C:\\u\\caf\x82\\x.txt: l'acc\x8as (5)\r\n"},
        {{L"C:\\u\\caf\x00e9\\x.txt", L"C:\\\x0416"}, 437, true,
         "C:\\u\\caf\xc3\xa9\\x.txt: l\xe2\x80\x99" "acc\xc3\xa8s (5)\r\n"},
        {{L"C:\\u\\caf\x00e9\\x.txt"}, 1252, false, "C:\\u\\caf\xe9\\x.txt: l\x92" "acc\xe8s (5)\r\n"},
    };
    for (const auto& c : cases)
    {
        bool utf8 = !c.utf8;
        EXPECT_EQ(c.bytes, EncodeNamedText(line, c.names, c.codePage, utf8)) << c.codePage;
        EXPECT_EQ(c.utf8, utf8) << c.codePage;
    }
}

TEST(CodePage, RegistryValues)
{
    const struct
    {
        const char* value;
        UINT codePage;
    } cases[] = {
        {"1252", 1252}, {"437", 437}, {"65001", 65001}, {"", 0}, {"0", 0},
        {"12a", 0},     {" 437", 0},  {"123456", 0},    {"65535", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.codePage, ParseCodePageValue(c.value)) << c.value;
}

TEST(CodePage, NamesCompareAsTheFileSystemComparesThem)
{
    const struct
    {
        const wchar_t* a;
        const wchar_t* b;
        bool same;
    } cases[] = {
        {L"\x0436\x0443\x043a.txt", L"\x0416\x0423\x041a.TXT", true}, // Cyrillic
        {L"\x03c3\x03bf\x03c6\x03af\x03b1", L"\x03a3\x039f\x03a6\x038a\x0391", true}, // Greek
        {L"caf\x00e9", L"CAF\x00c9", true},
        {L"\x65e5\x672c", L"\x65e5\x672c", true},
        {L"\x65e5\x672c", L"\x65e5\x8a9e", false},
        // Composed and combining forms are other names to the file system.
        {L"\x00e9", L"e\x0301", false},
        {L"a", L"ab", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.same, IsSameWideText(c.a, c.b)) << testing::PrintToString(std::wstring(c.a));
}

TEST(ReportEncoding, OneFileOneEncoding)
{
    const std::string mark = "\xEF\xBB\xBF";
    const struct
    {
        std::string head;
        bool namesFit;
        EReportForm form;
    } cases[] = {
        {"", true, ReportAnsi},
        {"Wed", true, ReportAnsi},
        {"", false, ReportUtf8},          // begins with the mark
        {mark, true, ReportUtf8},         // stays in UTF-8
        {mark, false, ReportUtf8},
        {"Wed", false, ReportToUtf8},     // never UTF-8 after ANSI text
        {"\xEF\xBB", false, ReportToUtf8},
        {"W", true, ReportAnsi},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.form, ChooseReportForm(c.head, c.namesFit)) << testing::PrintToString(c.head) << c.namesFit;

    EXPECT_EQ(mark + "caf\xc3\xa9\r\nStatut:: supprim\xc3\xa9\r\n",
              MakeUtf8Report("caf\xe9\r\nStatut:: supprim\xe9\r\n", 1252));
    EXPECT_EQ(mark, MakeUtf8Report("", 1252));
}
