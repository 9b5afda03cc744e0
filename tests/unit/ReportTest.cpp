// The report: its date line, its text and the file it is appended to.
#include "engine/FileInfo.h"
#include "engine/Handles.h"
#include "engine/ProgramPath.h"
#include "engine/Report.h"
#include "engine/SystemServices.h"
#include "engine/Text.h"
#include "resources/orvline/resource.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <shlwapi.h>

#include <cstdio>
#include <regex>

namespace
{

// The long date and time of the C runtime's default locale.
const std::regex kDateLine(
    "(Monday|Tuesday|Wednesday|Thursday|Friday|Saturday|Sunday), "
    "(January|February|March|April|May|June|July|August|September|October|November|December) "
    "[0-3][0-9], [0-9]{4} [0-2][0-9]:[0-5][0-9]:[0-5][0-9]");

SYSTEMTIME Time(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second)
{
    SYSTEMTIME time = {};
    time.wYear = year;
    time.wMonth = month;
    time.wDay = day;
    time.wHour = hour;
    time.wMinute = minute;
    time.wSecond = second;
    return time;
}

// The file's reports, each split into its date line and the rest, which
// must start after the date's line end.
struct SReport
{
    std::string date;
    std::string body;
};

SReport SplitDate(const std::string& text)
{
    const std::size_t end = text.find("\r\n");
    if (end == std::string::npos)
        return {text, ""};
    return {text.substr(0, end), text.substr(end)};
}

// A Run value that the report's autostart block can name.
const char kRunKey[] = "Software\\Orvane\\ReportTest";

::testing::AssertionResult SetRunValue(const char* name)
{
    CRegKey key;
    LONG error = RegCreateKeyExA(HKEY_CURRENT_USER, kRunKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                 key.Receive(), nullptr);
    const char data[] = "C:\\tool.exe";
    if (error == ERROR_SUCCESS)
        error = RegSetValueExA(key.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data), sizeof(data));
    if (error != ERROR_SUCCESS)
        return ::testing::AssertionFailure() << "run value " << name << " not written: " << error;
    return ::testing::AssertionSuccess();
}

// Wine run by root opens read-only files for writing all the same.
bool IsReadOnlyEnforced(const std::string& path)
{
    CFileHandle probe(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    if (probe.IsValid())
        std::printf("read-only files are writable here: that case is not checked\n");
    return !probe.IsValid();
}

} // namespace

TEST(ReportDate, LongDateAndTime)
{
    EXPECT_EQ("Sunday, December 06, 2026 12:53:14", FormatReportDate(Time(2026, 12, 6, 12, 53, 14)));
    EXPECT_EQ("Tuesday, February 29, 2000 00:05:09", FormatReportDate(Time(2000, 2, 29, 0, 5, 9)));
    EXPECT_EQ("Friday, January 01, 2038 23:59:59", FormatReportDate(Time(2038, 1, 1, 23, 59, 59)));
}

TEST(ReportDate, NowHasTheLongForm)
{
    SYSTEMTIME now = {};
    GetLocalTime(&now);
    const std::string date = FormatReportDate(now);
    EXPECT_TRUE(std::regex_match(date, kDateLine)) << date;
}

TEST(ReportDate, TimeOutsideTheCalendarGivesAnEmptyDate)
{
    EXPECT_EQ("", FormatReportDate(Time(1601, 1, 1, 0, 0, 0)));
    EXPECT_EQ("", FormatReportDate(Time(1900, 6, 1, 12, 0, 0)));
}

TEST(ReportText, ErrorReport)
{
    EXPECT_EQ("D\n\nTraitement echoue\nFile not found.\n\n",
              MakeErrorReport("D", "Traitement echoue", "File not found."));
    EXPECT_EQ("D\n\nLe repertoire source n'existe pas\n\n",
              MakeErrorReport("D", "Le repertoire source n'existe pas", ""));
    EXPECT_EQ("\n\nM\n\n", MakeErrorReport("", "M", ""));
}

TEST(ReportText, EmptyListIsDateAndThreeLineBreaks)
{
    CFileInfoList list;
    EXPECT_EQ("D\n\n\n", MakeOperationsReport("D", list));
}

TEST(ReportText, BlocksInIndexOrderWithTheAutostartBlockFirst)
{
    CFileInfoList list;
    ASSERT_TRUE(list.Add("C:\\first.txt"));
    ASSERT_TRUE(list.Add("C:\\second.txt", "C:\\dir\\second.txt",
                         std::make_unique<CRegistryEntry>(HKEY_CURRENT_USER, "Run", "Second")));
    EXPECT_EQ("D\n\n"
              "C:\\first.txt\nStatut:: pas traite\n\n"
              "HKCU\\Run\\Second\nStatut:: mis a jour avec succes\n\n"
              "C:\\dir\\second.txt\nStatut:: pas traite\n\n"
              "\n",
              MakeOperationsReport("D", list));
}

TEST(ReportFile, PathOfTheRunningProgram)
{
    std::string expected = GetProgramPath();
    ASSERT_GT(expected.size(), 4u);
    expected.replace(expected.size() - 4, 4, ".txt");
    EXPECT_EQ(expected, GetReportFilePath());
}

TEST(ReportFile, WriteReportAppendsTheOperations)
{
    CScratchDir dir;
    const std::string report = dir / "report.txt";
    const std::string deleted = dir.File("deleted.dll", "x");
    const std::string missing = dir / "missing.dll";
    ASSERT_TRUE(SetRunValue("Deleted"));

    CFileInfoList list;
    ASSERT_TRUE(list.Add(deleted, "",
                         std::make_unique<CRegistryEntry>(HKEY_CURRENT_USER, kRunKey, "Deleted")));
    ASSERT_TRUE(list.Add(missing));
    EXPECT_FALSE(list.Process());
    ASSERT_EQ(StatusDeleted, list.GetAt(0)->GetStatus());
    ASSERT_EQ(StatusFailed, list.GetAt(1)->GetStatus());

    SetLastError(0xdeadbeef);
    EXPECT_TRUE(list.WriteReport(report)) << GetLastError();

    // Text mode: every line ends with CR LF; a Failed status is one line.
    const std::string failedText = GetErrorText(ERROR_FILE_NOT_FOUND);
    ASSERT_FALSE(failedText.empty());
    ASSERT_EQ(std::string::npos, failedText.find_first_of("\r\n"));
    const SReport first = SplitDate(ReadFileBytes(report));
    EXPECT_TRUE(std::regex_match(first.date, kDateLine)) << first.date;
    EXPECT_EQ("\r\n\r\n"
              "HKCU\\Software\\Orvane\\ReportTest\\Deleted\r\n"
              "Statut:: suppression effectuee avec succes\r\n\r\n" +
                  deleted +
                  "\r\n"
                  "Statut:: suppression effectuee avec succes\r\n\r\n" +
                  missing + "\r\nStatut:: " + failedText + "\r\n\r\n\r\n",
              first.body);

    // A second report goes after the first; nothing is truncated.
    const std::string before = ReadFileBytes(report);
    CFileInfoList empty;
    EXPECT_TRUE(empty.WriteReport(report));
    const std::string after = ReadFileBytes(report);
    ASSERT_EQ(0u, after.find(before));
    const SReport second = SplitDate(after.substr(before.size()));
    EXPECT_TRUE(std::regex_match(second.date, kDateLine)) << second.date;
    EXPECT_EQ("\r\n\r\n\r\n", second.body);

    RegDeleteKeyA(HKEY_CURRENT_USER, kRunKey);
}

TEST(ReportFile, ReadersMayShareTheFile)
{
    CScratchDir dir;
    const std::string report = dir.File("report.txt", "old\r\n");
    CFileHandle reader(CreateFileA(report.c_str(), GENERIC_READ,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                   nullptr));
    ASSERT_TRUE(reader.IsValid());
    CFileInfoList list;
    EXPECT_TRUE(list.WriteReport(report));
    reader.Reset();
    EXPECT_EQ(0u, ReadFileBytes(report).find("old\r\n"));
    EXPECT_GT(ReadFileBytes(report).size(), 10u);
}

TEST(ReportFile, UnwritableFileIsLeftAlone)
{
    CScratchDir dir;
    CFileInfoList list;
    ASSERT_TRUE(list.Add(dir / "x.txt"));

    const std::string readOnly = dir.File("readonly.txt", "kept\r\n");
    ASSERT_TRUE(SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_READONLY));
    if (IsReadOnlyEnforced(readOnly))
    {
        EXPECT_FALSE(list.WriteReport(readOnly));
        EXPECT_EQ("kept\r\n", ReadFileBytes(readOnly));
    }

    // A folder in the report's place.
    const std::string folder = dir.Folder("folder.txt");
    EXPECT_FALSE(list.WriteReport(folder));
    EXPECT_TRUE(PathIsDirectoryA(folder.c_str()));

    // Another writer has it open: no report, nothing changed.
    const std::string locked = dir.File("locked.txt", "kept\r\n");
    {
        CFileHandle writer(CreateFileA(locked.c_str(), GENERIC_WRITE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                       0, nullptr));
        ASSERT_TRUE(writer.IsValid());
        EXPECT_FALSE(list.WriteReport(locked));
    }
    EXPECT_EQ("kept\r\n", ReadFileBytes(locked));

    EXPECT_FALSE(list.WriteReport(dir / "no-such-folder\\report.txt"));
    EXPECT_FALSE(list.WriteReport(""));
    EXPECT_FALSE(PathExists(dir / "no-such-folder"));

    // The list itself is untouched by the failed reports.
    EXPECT_EQ(1u, list.GetCount());
    EXPECT_EQ(StatusNotProcessed, list.GetAt(0)->GetStatus());
}

TEST(ReportFile, ErrorReportGoesToTheProgramsFile)
{
    const std::string report = GetReportFilePath();
    ASSERT_FALSE(report.empty());
    DeleteFileA(report.c_str());

    WriteErrorReport(IDS_PROCESS_FAILED, ERROR_FILE_NOT_FOUND);
    WriteErrorReport(IDS_SOURCE_MISSING, 0);
    const std::string text = ReadFileBytes(report);
    DeleteFileA(report.c_str());

    const std::regex layout("([^\r\n]*)\r\n\r\nTraitement echoue\r\n([^\r\n]+)\r\n\r\n"
                            "([^\r\n]*)\r\n\r\nLe repertoire source n'existe pas\r\n\r\n");
    std::smatch match;
    ASSERT_TRUE(std::regex_match(text, match, layout)) << text;
    EXPECT_TRUE(std::regex_match(match[1].str(), kDateLine));
    EXPECT_EQ(GetErrorText(ERROR_FILE_NOT_FOUND), match[2].str());
    EXPECT_TRUE(std::regex_match(match[3].str(), kDateLine));
}
