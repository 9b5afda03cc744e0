// orvline replacing a program by another version of it: an older one is
// refused unless /downgrade is given.
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <regex>

namespace
{

const char kRefused[] = "\r\nRegression non-autorisee\r\n";

// A source folder and a target folder, each with a copy of a fixture under
// the same name.
class OrvlineDowngrade : public ::testing::Test
{
protected:
    ::testing::AssertionResult Place(const char* sourceFixture, const char* targetFixture,
                                     const char* targetName = "tool.exe", const char* sourceName = "tool.exe")
    {
        for (const std::string& dir : {m_sourceDir, m_targetDir})
        {
            if (!CreateDirectoryA(dir.c_str(), nullptr) && !PathExists(dir))
                return ::testing::AssertionFailure() << "cannot create " << dir << ": " << ::GetLastError();
        }
        m_source = m_sourceDir + "\\" + sourceName;
        m_target = m_targetDir + "\\" + targetName;
        if (!CopyFileA(FixturePath(sourceFixture).c_str(), m_source.c_str(), FALSE) ||
            !CopyFileA(FixturePath(targetFixture).c_str(), m_target.c_str(), FALSE))
            return ::testing::AssertionFailure() << "cannot copy the fixtures: " << ::GetLastError();
        m_sourceBytes = ReadFileBytes(m_source);
        m_targetBytes = ReadFileBytes(m_target);
        if (m_sourceBytes == m_targetBytes)
            return ::testing::AssertionFailure() << sourceFixture << " and " << targetFixture << " are the same bytes";
        return ::testing::AssertionSuccess();
    }

    void ExpectRefused(const SRunResult& run)
    {
        EXPECT_TRUE(RunEnded(run, 9, "", kRefused));
        EXPECT_EQ(m_targetBytes, ReadFileBytes(m_target));
        EXPECT_EQ(m_sourceBytes, ReadFileBytes(m_source));
    }

    void ExpectReplaced(const SRunResult& run, bool downgrade)
    {
        EXPECT_TRUE(RunEnded(run, 0, std::string(downgrade ? "Regression detectee\r\n" : "") + kProcessed,
                             ""));
        // A replacement copies the source over the target.
        EXPECT_EQ(m_sourceBytes, ReadFileBytes(m_target));
        EXPECT_EQ(m_sourceBytes, ReadFileBytes(m_source));
    }

    CScratchDir m_dir;
    std::string m_sourceDir = m_dir / "new";
    std::string m_targetDir = m_dir / "installed";
    std::string m_source;
    std::string m_target;
    std::string m_sourceBytes;
    std::string m_targetBytes;
};

} // namespace

TEST_F(OrvlineDowngrade, IntoTargetFolder)
{
    ASSERT_TRUE(Place("v5_1_2600_0", "v5_1_2600_2180"));
    ExpectRefused(RunOrvline(Quote(m_source) + " " + Quote(m_targetDir)));
    ExpectReplaced(RunOrvline(Quote(m_source) + " " + Quote(m_targetDir) + " /downgrade"), true);
}

TEST_F(OrvlineDowngrade, OntoFileTarget)
{
    ASSERT_TRUE(Place("v5_9_9999_9999", "v6_0_0_0"));
    ExpectRefused(RunOrvline(Quote(m_source) + " " + Quote(m_target)));
    ExpectReplaced(RunOrvline(Quote(m_source) + " " + Quote(m_target) + " -d"), true);
}

TEST_F(OrvlineDowngrade, MajorVersionsFrom32768AreNewer)
{
    // Version fields are unsigned: 40000.0 is newer than 5.1, and 5.1 older.
    ASSERT_TRUE(Place("v40000", "v5_1_2600_0"));
    ExpectReplaced(RunOrvline(Quote(m_source) + " " + Quote(m_target)), false);
    ASSERT_TRUE(Place("v5_1_2600_0", "v40000"));
    ExpectRefused(RunOrvline(Quote(m_source) + " " + Quote(m_target)));
}

TEST_F(OrvlineDowngrade, NewerOrEqualVersionGoesAhead)
{
    ASSERT_TRUE(Place("v40000", "v39999"));
    ExpectReplaced(RunOrvline(Quote(m_source) + " " + Quote(m_targetDir)), false);

    ASSERT_TRUE(CopyFileA(FixturePath("v5_1_2600_0").c_str(), m_source.c_str(), FALSE));
    m_sourceBytes = ReadFileBytes(m_source);
    ASSERT_TRUE(CopyFileA(FixturePath("v5_1_2600_0").c_str(), m_target.c_str(), FALSE));
    ExpectReplaced(RunOrvline(Quote(m_source) + " " + Quote(m_target)), false);
}

TEST_F(OrvlineDowngrade, FileWithoutVersionNeverBlocks)
{
    ASSERT_TRUE(Place("vnone", "v6_0_0_0"));
    ExpectReplaced(RunOrvline(Quote(m_source) + " " + Quote(m_target)), false);
}

TEST_F(OrvlineDowngrade, OtherFileNameIsNotChecked)
{
    // Only a target of the source's own name is version-checked.
    ASSERT_TRUE(Place("v5_1_2600_0", "v6_0_0_0", "other.exe"));
    ExpectReplaced(RunOrvline(Quote(m_source) + " " + Quote(m_target)), false);
}

TEST_F(OrvlineDowngrade, TargetByItsShortName)
{
    // The same file under its short name is a file of the source's name.
    ASSERT_TRUE(Place("v5_1_2600_0", "v5_1_2600_2180", "component.dll", "component.dll"));
    char shortPath[MAX_PATH] = {};
    ASSERT_NE(0u, GetShortPathNameA(m_target.c_str(), shortPath, MAX_PATH));
    ASSERT_STRCASENE(m_target.c_str(), shortPath);
    ExpectRefused(RunOrvline(Quote(m_source) + " " + Quote(shortPath)));
}

TEST_F(OrvlineDowngrade, RefusalIsLogged)
{
    const std::string report = GetBinPath("orvline.txt");
    DeleteFileA(report.c_str());
    ASSERT_TRUE(Place("v5_1_2600_2180", "v6_0_0_0"));
    ExpectRefused(RunOrvline(Quote(m_source) + " " + Quote(m_targetDir) + " /log"));
    const std::string text = ReadFileBytes(report);
    DeleteFileA(report.c_str());
    EXPECT_TRUE(std::regex_match(
        text, std::regex("[A-Z][a-z]+day, [A-Z][a-z]+ [0-9]{2}, [0-9]{4} [0-9]{2}:[0-9]{2}:[0-9]{2}"
                         "\r\n\r\nRegression non-autorisee\r\n\r\n")))
        << text;
}
