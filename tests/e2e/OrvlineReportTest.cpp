// orvline /log: the operations report and the error reports appended to
// orvline.txt beside the program, as the file holds them.
#include "engine/Handles.h"
#include "engine/SystemServices.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <regex>

namespace
{

const char kDate[] =
    "(Monday|Tuesday|Wednesday|Thursday|Friday|Saturday|Sunday), "
    "(January|February|March|April|May|June|July|August|September|October|November|December) "
    "[0-3][0-9], [0-9]{4} [0-2][0-9]:[0-5][0-9]:[0-5][0-9]";

const char kReported[] = "Traitement...\r\nEcriture du rapport...\r\nFait.\r\n";

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

// An operations report's body: the object and its status.
std::string StatusBody(const std::string& path, const std::string& status)
{
    return "\r\n\r\n" + path + "\r\nStatut:: " + status + "\r\n\r\n\r\n";
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
    ClearPendingQueue();
    CScratchDir dir;
    const std::string first = dir.File("first.txt", "1");
    const std::string locked = dir.File("locked.dll", "x");

    EXPECT_TRUE(RunEnded(RunOrvline(Quote(first) + " /log"), 0, kReported, ""));
    const std::string firstBody = StatusBody(first, "suppression effectuee avec succes");
    EXPECT_TRUE(HoldsReports(ReadFileBytes(ReportPath()), {firstBody}));

    // A second run appends after the first; "-L" is the same option; a
    // delayed operation has its own status.
    {
        CHolder holder(CHolder::Open, locked);
        ASSERT_TRUE(holder.IsHolding());
        const SRunResult run = RunOrvline(Quote(locked) + " -L");
        EXPECT_EQ(0u, run.exitCode) << run.err;
    }
    ClearPendingQueue();
    const std::string secondBody =
        StatusBody(locked, "fichier en cours d'utilisation, operation differee");
    EXPECT_TRUE(HoldsReports(ReadFileBytes(ReportPath()), {firstBody, secondBody}));
}

TEST_F(OrvlineReport, WithoutLogNothingIsWritten)
{
    CScratchDir dir;
    const std::string file = dir.File("f.txt", "1");
    EXPECT_EQ(0u, RunOrvline(Quote(file)).exitCode);
    EXPECT_EQ(4u, RunOrvline(Quote(dir / "missing.txt")).exitCode);
    // Nor on the usage exit, even with /log.
    EXPECT_EQ(2u, RunOrvline("/log").exitCode);
    EXPECT_FALSE(PathExists(ReportPath()));
}

TEST_F(OrvlineReport, FailedOperationWithoutErrorReport)
{
    CScratchDir dir;
    const std::string file = dir.File("a.txt", "a");
    const std::string target = dir / "no-folder\\b.txt";

    EXPECT_TRUE(RunEnded(RunOrvline(Quote(file) + " " + Quote(target) + " /log"), 10,
                         "Traitement...\r\nEcriture du rapport...\r\n",
                         FailureLine(target, ERROR_PATH_NOT_FOUND) + "\r\nTraitement echoue\r\n"));
    // The status is the system's text, on one line; the report names the
    // destination of a move. Exit 10 adds no error report.
    const std::string status = GetErrorText(ERROR_PATH_NOT_FOUND);
    ASSERT_FALSE(status.empty());
    EXPECT_TRUE(HoldsReports(ReadFileBytes(ReportPath()),
                             {StatusBody(target, status)}));
    EXPECT_TRUE(PathExists(file));
}

TEST_F(OrvlineReport, ErrorReportOnEveryErrorExit)
{
    ClearPendingQueue();
    CScratchDir dir;
    const std::string file = dir.File("file.txt", "x");
    const std::string folder = dir.Folder("folder");

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

TEST_F(OrvlineReport, UnwritableReportChangesNothingOfTheRun)
{
    CScratchDir dir;
    // Held open without sharing by another process.
    ASSERT_TRUE(WriteFileBytes(ReportPath(), "old\r\n"));
    {
        CHolder holder(CHolder::Open, ReportPath());
        ASSERT_TRUE(holder.IsHolding());
        const std::string file = dir.File("a.txt", "a");
        EXPECT_TRUE(RunEnded(RunOrvline(Quote(file) + " /log"), 0, kReported, ""));
        EXPECT_FALSE(PathExists(file));
        EXPECT_TRUE(RunEnded(RunOrvline(Quote(dir / "missing.txt") + " /log"), 4, "",
                             "\r\nLe repertoire source n'existe pas\r\n"));
    }
    EXPECT_EQ("old\r\n", ReadFileBytes(ReportPath()));

    // Read-only: where the system enforces it, nothing is appended either.
    ASSERT_TRUE(SetFileAttributesA(ReportPath().c_str(), FILE_ATTRIBUTE_READONLY));
    const bool enforced = !CFileHandle(CreateFileA(ReportPath().c_str(), GENERIC_WRITE, 0, nullptr,
                                                   OPEN_EXISTING, 0, nullptr))
                               .IsValid();
    const std::string file = dir.File("b.txt", "b");
    EXPECT_TRUE(RunEnded(RunOrvline(Quote(file) + " /log"), 0, kReported, ""));
    EXPECT_FALSE(PathExists(file));
    if (enforced)
    {
        EXPECT_EQ("old\r\n", ReadFileBytes(ReportPath()));
    }
}

// One file, one encoding: the system's ANSI code page while the names fit
// it (the bytes of before), then, once a name does not, the whole file in
// UTF-8 with its mark, the older reports kept; it stays so.
TEST_F(OrvlineReport, ANameBeyondTheCodePageTurnsTheFileToUtf8)
{
    CScratchDir dir;
    const std::string cafe = dir.File("café.txt", "c");
    const std::string beetle = dir.File("Жук.txt", "z");
    const std::string plain = dir.File("plain.txt", "p");
    const std::string deleted = "suppression effectuee avec succes";
    const std::string mark = "\xEF\xBB\xBF";

    EXPECT_TRUE(RunEnded(RunOrvline(Quote(cafe) + " /log"), 0, kReported, ""));
    EXPECT_TRUE(HoldsReports(ReadFileBytes(ReportPath()), {StatusBody(SystemAnsi(cafe.c_str()), deleted)}));
    EXPECT_TRUE(RunEnded(RunOrvline(Quote(beetle) + " /log"), 0, kReported, ""));
    EXPECT_TRUE(RunEnded(RunOrvline(Quote(plain) + " /log"), 0, kReported, ""));
    std::string text = ReadFileBytes(ReportPath());
    ASSERT_EQ(mark, text.substr(0, 3));
    EXPECT_TRUE(HoldsReports(text.substr(3), {StatusBody(cafe, deleted), StatusBody(beetle, deleted),
                                              StatusBody(plain, deleted)}));

    // A report begun by such a name begins with the mark.
    RemoveReport();
    const std::string greek = dir.File("Ελληνικά.txt", "g");
    EXPECT_TRUE(RunEnded(RunOrvline(Quote(greek) + " /log"), 0, kReported, ""));
    text = ReadFileBytes(ReportPath());
    ASSERT_EQ(mark, text.substr(0, 3));
    EXPECT_TRUE(HoldsReports(text.substr(3), {StatusBody(greek, deleted)}));
}
