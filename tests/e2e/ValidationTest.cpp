// orvline's checks of the source and the target, before anything is run.
#include "tests/support/TestSupport.h"

#include "engine/SystemServices.h"

#include <gtest/gtest.h>

// A refusal: nothing after the banner, the message alone on the error stream.
#define EXPECT_REFUSED(run, code, message) \
    EXPECT_TRUE(RunEnded(run, code, "", "\r\n" + std::string(message) + "\r\n"))

TEST(OrvlineValidation, SamePathsAreRefused)
{
    CScratchDir dir;
    const std::string file = dir.File("same.txt", "x");
    std::string upper = file;
    CharUpperA(&upper[0]);

    EXPECT_REFUSED(RunOrvline(Quote(file) + " " + Quote(upper)), 7,
                   "Les repertoires source et de destination doivent etre differents");
    // A file into its own folder names itself.
    EXPECT_REFUSED(RunOrvline(Quote(file) + " " + Quote(dir.Path())), 7,
                   "Les repertoires source et de destination doivent etre differents");
    // A folder onto itself.
    const std::string folder = dir.Folder("sub");
    EXPECT_REFUSED(RunOrvline(Quote(folder) + " " + Quote(folder)), 7,
                   "Les repertoires source et de destination doivent etre differents");
    EXPECT_TRUE(PathExists(file));
}

TEST(OrvlineValidation, FolderNeedsAnExistingTargetFolder)
{
    CScratchDir dir;
    const std::string folder = dir.Folder("tree");
    ASSERT_TRUE(WriteFileBytes(dir / "file.txt", "x"));

    EXPECT_REFUSED(RunOrvline(Quote(folder) + " " + Quote(dir / "nowhere")), 8,
                   "Action non-supportee. Verifiez que le dossier de destination existe");
    EXPECT_REFUSED(RunOrvline(Quote(folder) + " " + Quote(dir / "file.txt")), 8,
                   "Action non-supportee. Verifiez que le dossier de destination existe");
    EXPECT_TRUE(PathExists(folder));
}

TEST(OrvlineValidation, FolderStaysOnItsDrive)
{
    CScratchDir dir;
    const std::string folder = dir.Folder("tree");
    // Wine maps the Unix root to Z:.
    ASSERT_TRUE(PathExists("Z:\\tmp"));
    EXPECT_REFUSED(RunOrvline(Quote(folder) + " Z:\\tmp"), 6,
                   "Les repertoires source et de destination doivent etre sur le meme disque");
    EXPECT_TRUE(PathExists(folder));
}

TEST(OrvlineValidation, SourceLongerThanAPathIsMissing)
{
    const std::string source = "C:\\" + std::string(400, 'a');
    EXPECT_REFUSED(RunOrvline(Quote(source)), 4, "Le repertoire source n'existe pas");
}

TEST(OrvlineValidation, JoinedDestinationTooLong)
{
    CScratchDir dir;
    // A target folder whose name plus the source's file name passes MAX_PATH.
    std::string target = dir.Path();
    while (target.size() < 230)
    {
        target += "\\" + std::string(std::min<std::size_t>(40, 235 - target.size()), 'd');
        ASSERT_TRUE(CreateDirectoryA(target.c_str(), nullptr)) << target;
    }
    const std::string source = dir / (std::string(40, 'f') + ".txt");
    ASSERT_TRUE(WriteFileBytes(source, "x"));

    const SRunResult run = RunOrvline(Quote(source) + " " + Quote(target));
    EXPECT_TRUE(RunEnded(run, 5, "",
                         "\r\nImpossible d'ajouter un/des objet(s) a la liste en cours: " +
                             GetErrorText(ERROR_FILENAME_EXCED_RANGE) + " (206)\r\n"));
    EXPECT_TRUE(PathExists(source));
}

TEST(OrvlineValidation, FileIntoAFolderKeepsItsName)
{
    CScratchDir dir;
    const std::string source = dir.File("moved.txt", "payload");
    const std::string target = dir.Folder("into");

    const SRunResult run = RunOrvline(Quote(source) + " " + Quote(target));
    EXPECT_EQ(0u, run.exitCode) << run.err;
    EXPECT_EQ(kProcessed, AfterBanner(run.out));
    EXPECT_FALSE(PathExists(source));
    EXPECT_EQ("payload", ReadFileBytes(target + "\\moved.txt"));
}

TEST(OrvlineValidation, FolderIntoAFolderOnTheSameDrive)
{
    CScratchDir dir;
    const std::string folder = dir.Folder("tree");
    const std::string target = dir.Folder("into");
    ASSERT_TRUE(WriteFileBytes(folder + "\\a.txt", "a"));

    const SRunResult run = RunOrvline(Quote(folder) + " " + Quote(target) + " /log:no -x");
    EXPECT_EQ(0u, run.exitCode) << run.err;
    EXPECT_FALSE(PathExists(folder));
    EXPECT_EQ("a", ReadFileBytes(target + "\\tree\\a.txt"));
}

TEST(OrvlineValidation, FolderTreeWithoutTargetIsDeleted)
{
    CScratchDir dir;
    const std::string folder = dir.Folder("tree");
    ASSERT_TRUE(CreateDirectoryA((folder + "\\s").c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(folder + "\\s\\b.txt", "b"));
    ASSERT_TRUE(WriteFileBytes(folder + "\\a.txt", "a"));
    ASSERT_TRUE(SetFileAttributesA((folder + "\\a.txt").c_str(),
                                   FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));

    const SRunResult run = RunOrvline(Quote(folder));
    EXPECT_EQ(0u, run.exitCode) << run.err;
    EXPECT_EQ(kProcessed, AfterBanner(run.out));
    EXPECT_FALSE(PathExists(folder));
}
