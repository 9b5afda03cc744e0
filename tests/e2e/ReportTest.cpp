// orvline /log: the operations report and the error reports appended to
// orvline.txt beside the program, as the file holds them.
#include "Handles.h"
#include "SystemServices.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <regex>

namespace
{

const char kBanner[] =
    "Orvane en Ligne de Commandes - Version 1.00 (build 0.0)\r\n"
    "Remplace, deplace, renomme ou supprime tout fichier ou dossier verrouille par un processus "
    "en cours.\r\n"
    "Copyright (C) 2026 Hadrel. Tous droits reserves.\r\n"
    "https://www.hadrel.example/orvane\r\n"
    "\r\n";

const char kDate[] =
    "(Monday|Tuesday|Wednesday|Thursday|Friday|Saturday|Sunday), "
    "(January|February|March|April|May|June|July|August|September|October|November|December) "
    "[0-3][0-9], [0-9]{4} [0-2][0-9]:[0-5][0-9]:[0-5][0-9]";

std::string ReportPath()
{
    return GetBinPath("orvline.txt");
}

std::string RegexEscape(const std::string& text)
{
    static const std::string special = "\\^$.|?*+()[]{}";
    std::string escaped;
    for (char c : text)
    {
        if (special.find(c) != std::string::npos)
            escaped += '\\';
        escaped += c;
    }
    return escaped;
}

// Matches a text made of reports whose date lines vary: each report is a
// date line followed by the given body.
::testing::AssertionResult HoldsReports(const std::string& text,
                                        const std::vector<std::string>& bodies)
{
    std::string pattern;
    for (const std::string& body : bodies)
        pattern += std::string("(") + kDate + ")" + RegexEscape(body);
    if (std::regex_match(text, std::regex(pattern)))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "report file holds:\n" << text;
}

std::string ErrorBody(const std::string& message, const std::string& systemText = "")
{
    return "\r\n\r\n" + message + "\r\n" + (systemText.empty() ? "" : systemText + "\r\n") + "\r\n";
}

class OrvlineReport : public ::testing::Test
{
protected:
    void SetUp() override { RemoveReport(); }
    void TearDown() override { RemoveReport(); }

    static void RemoveReport()
    {
        SetFileAttributesA(ReportPath().c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(ReportPath().c_str());
        ASSERT_FALSE(PathExists(ReportPath()));
    }
};

} // namespace

TEST_F(OrvlineReport, LogAppendsTheOperationsReport)
{
    CScratchDir dir;
    const std::string first = dir / "first.txt";
    const std::string second = dir / "second.txt";
    ASSERT_TRUE(WriteFileBytes(first, "1"));
    ASSERT_TRUE(WriteFileBytes(second, "2"));

    SRunResult run = RunOrvline(Quote(first) + " /log");
    EXPECT_EQ(0u, run.exitCode);
    EXPECT_EQ(std::string(kBanner) + "Traitement...\r\nEcriture du rapport...\r\nFait.\r\n", run.out);
    EXPECT_EQ("", run.err);
    const std::string firstBody = "\r\n\r\n" + first + "\r\nStatut:: suppression effectuee avec succes\r\n\r\n\r\n";
    EXPECT_TRUE(HoldsReports(ReadFileBytes(ReportPath()), {firstBody}));

    // A second run appends after the first; "-L" is the same option.
    run = RunOrvline(Quote(second) + " -L");
    EXPECT_EQ(0u, run.exitCode);
    const std::string secondBody = "\r\n\r\n" + second + "\r\nStatut:: suppression effectuee avec succes\r\n\r\n\r\n";
    EXPECT_TRUE(HoldsReports(ReadFileBytes(ReportPath()), {firstBody, secondBody}));
}

TEST_F(OrvlineReport, WithoutLogNothingIsWritten)
{
    CScratchDir dir;
    const std::string file = dir / "f.txt";
    ASSERT_TRUE(WriteFileBytes(file, "1"));
    EXPECT_EQ(0u, RunOrvline(Quote(file)).exitCode);
    EXPECT_EQ(4u, RunOrvline(Quote(dir / "missing.txt")).exitCode);
    EXPECT_FALSE(PathExists(ReportPath()));
}

TEST_F(OrvlineReport, DelayedOperation)
{
    ClearPendingQueue();
    CScratchDir dir;
    const std::string file = dir / "locked.dll";
    ASSERT_TRUE(WriteFileBytes(file, "x"));
    {
        CHolder holder(CHolder::Open, file);
        ASSERT_TRUE(holder.IsHolding());
        const SRunResult run = RunOrvline(Quote(file) + " /log");
        EXPECT_EQ(0u, run.exitCode) << run.err;
    }
    ClearPendingQueue();
    EXPECT_TRUE(HoldsReports(
        ReadFileBytes(ReportPath()),
        {"\r\n\r\n" + file + "\r\nStatut:: fichier en cours d'utilisation, operation differee\r\n\r\n\r\n"}));
}

TEST_F(OrvlineReport, FailedOperationWithoutErrorReport)
{
    CScratchDir dir;
    const std::string file = dir / "a.txt";
    const std::string target = dir / "no-folder\\b.txt";
    ASSERT_TRUE(WriteFileBytes(file, "a"));

    const SRunResult run = RunOrvline(Quote(file) + " " + Quote(target) + " /log");
    EXPECT_EQ(10u, run.exitCode);
    EXPECT_EQ(std::string(kBanner) + "Traitement...\r\nEcriture du rapport...\r\n", run.out);
    EXPECT_EQ("\r\nTraitement echoue\r\n", run.err);
    // The status is the system's text, on one line; the report names the
    // destination of a move. Exit 10 adds no error report.
    const std::string status = GetErrorText(ERROR_PATH_NOT_FOUND);
    ASSERT_FALSE(status.empty());
    EXPECT_TRUE(HoldsReports(ReadFileBytes(ReportPath()),
                             {"\r\n\r\n" + target + "\r\nStatut:: " + status + "\r\n\r\n\r\n"}));
    EXPECT_TRUE(PathExists(file));
}

TEST_F(OrvlineReport, ErrorReportOnEveryErrorExit)
{
    ClearPendingQueue();
    CScratchDir dir;
    const std::string file = dir / "file.txt";
    const std::string folder = dir / "folder";
    ASSERT_TRUE(WriteFileBytes(file, "x"));
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));

    // A target folder so deep that the joined destination cannot fit.
    std::string deep = dir.Path();
    while (deep.size() < 200)
    {
        deep += "\\" + std::string(20, 'd');
        ASSERT_TRUE(CreateDirectoryA(deep.c_str(), nullptr)) << deep;
    }
    const std::string longFile = dir / (std::string(60, 'n') + ".txt");
    ASSERT_TRUE(WriteFileBytes(longFile, "x"));

    std::string upper = file;
    CharUpperA(&upper[0]);

    struct
    {
        std::string arguments;
        DWORD exitCode;
        std::string message;
        DWORD systemCode;
    } cases[] = {
        {"/pending", 3, "Traitement echoue", ERROR_FILE_NOT_FOUND},
        {Quote(dir / "missing.txt"), 4, "Le repertoire source n'existe pas", 0},
        {Quote(longFile) + " " + Quote(deep), 5,
         "Impossible d'ajouter un/des objet(s) a la liste en cours", ERROR_FILENAME_EXCED_RANGE},
        {Quote(folder) + " " + Quote(ORV_BIN_DIR), 6,
         "Les repertoires source et de destination doivent etre sur le meme disque", 0},
        {Quote(file) + " " + Quote(upper), 7,
         "Les repertoires source et de destination doivent etre differents", 0},
        {Quote(folder) + " " + Quote(dir / "nowhere"), 8,
         "Action non-supportee. Verifiez que le dossier de destination existe", 0},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.arguments);
        SetFileAttributesA(ReportPath().c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(ReportPath().c_str());

        const SRunResult run = RunOrvline(c.arguments + " /log");
        EXPECT_EQ(c.exitCode, run.exitCode);
        const std::string systemText = c.systemCode ? GetErrorText(c.systemCode) : "";
        const std::string errorLine =
            c.systemCode ? "\r\n" + c.message + ": " + systemText + " (" +
                               std::to_string(c.systemCode) + ")\r\n"
                         : "\r\n" + c.message + "\r\n";
        EXPECT_EQ(errorLine, run.err);
        EXPECT_TRUE(HoldsReports(ReadFileBytes(ReportPath()), {ErrorBody(c.message, systemText)}));
    }
    EXPECT_TRUE(PathExists(file));
    EXPECT_TRUE(PathExists(folder));
    EXPECT_TRUE(PathExists(longFile));
}

TEST_F(OrvlineReport, UsageExitWritesNothing)
{
    const SRunResult run = RunOrvline("/log");
    EXPECT_EQ(2u, run.exitCode);
    EXPECT_FALSE(PathExists(ReportPath()));
}

TEST_F(OrvlineReport, UnwritableReportChangesNothingOfTheRun)
{
    CScratchDir dir;
    const std::string expectedOut =
        std::string(kBanner) + "Traitement...\r\nEcriture du rapport...\r\nFait.\r\n";

    // Held open without sharing by another process.
    ASSERT_TRUE(WriteFileBytes(ReportPath(), "old\r\n"));
    {
        CHolder holder(CHolder::Open, ReportPath());
        ASSERT_TRUE(holder.IsHolding());
        const std::string file = dir / "a.txt";
        ASSERT_TRUE(WriteFileBytes(file, "a"));
        SRunResult run = RunOrvline(Quote(file) + " /log");
        EXPECT_EQ(0u, run.exitCode);
        EXPECT_EQ(expectedOut, run.out);
        EXPECT_EQ("", run.err);
        EXPECT_FALSE(PathExists(file));

        run = RunOrvline(Quote(dir / "missing.txt") + " /log");
        EXPECT_EQ(4u, run.exitCode);
        EXPECT_EQ(kBanner, run.out);
        EXPECT_EQ("\r\nLe repertoire source n'existe pas\r\n", run.err);
    }
    EXPECT_EQ("old\r\n", ReadFileBytes(ReportPath()));

    // Read-only: where the system enforces it, nothing is appended either.
    ASSERT_TRUE(SetFileAttributesA(ReportPath().c_str(), FILE_ATTRIBUTE_READONLY));
    const bool enforced = !CFileHandle(CreateFileA(ReportPath().c_str(), GENERIC_WRITE, 0, nullptr,
                                                   OPEN_EXISTING, 0, nullptr))
                               .IsValid();
    const std::string file = dir / "b.txt";
    ASSERT_TRUE(WriteFileBytes(file, "b"));
    const SRunResult run = RunOrvline(Quote(file) + " /log");
    EXPECT_EQ(0u, run.exitCode);
    EXPECT_EQ(expectedOut, run.out);
    EXPECT_EQ("", run.err);
    EXPECT_FALSE(PathExists(file));
    if (enforced)
    {
        EXPECT_EQ("old\r\n", ReadFileBytes(ReportPath()));
    }
}
