// Version resources of real files: the fixed block, the strings, the
// translation defaults and the downgrade test, on small programs built with
// chosen versions.
#include "CommandLine.h"
#include "ModuleVersion.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace
{

std::string Fixture(const char* name)
{
    return std::string(ORV_FIXTURE_DIR) + "\\" + name + ".exe";
}

// Major, minor, build and revision of the loaded file version.
std::string VersionOf(const CModuleVersion& version)
{
    char text[64];
    std::snprintf(text, sizeof(text), "%u.%u.%u.%u", HIWORD(version.dwFileVersionMS),
                  LOWORD(version.dwFileVersionMS), HIWORD(version.dwFileVersionLS),
                  LOWORD(version.dwFileVersionLS));
    return text;
}

LONGLONG Order(WORD major, WORD minor, WORD build, WORD revision)
{
    return GetVersionOrder(MAKELONG(minor, major), MAKELONG(revision, build));
}

} // namespace

TEST(VersionOrder, FieldsDecideInTurn)
{
    EXPECT_LT(Order(5, 1, 2600, 0), Order(5, 1, 2600, 2180));
    EXPECT_LT(Order(5, 9, 9999, 9999), Order(6, 0, 0, 0));
    EXPECT_LT(Order(5, 1, 65535, 65535), Order(5, 2, 0, 0));
    EXPECT_EQ(Order(1, 2, 3, 4), Order(1, 2, 3, 4));
}

TEST(VersionOrder, MostSignificantWordIsSigned)
{
    // Major 32768 and above make the high word negative.
    EXPECT_LT(Order(40000, 0, 0, 0), Order(1, 0, 0, 0));
    EXPECT_LT(Order(40000, 0, 0, 0), Order(0, 0, 0, 0));
    EXPECT_GT(Order(40000, 0, 0, 0), Order(39999, 0, 0, 0));
    EXPECT_GT(Order(32767, 65535, 65535, 65535), Order(32768, 0, 0, 0));
    EXPECT_LT(Order(65535, 65535, 65535, 65535), Order(0, 0, 0, 1));
    EXPECT_EQ(-1, GetVersionOrder(0xFFFFFFFF, 0xFFFFFFFF));
}

TEST(VersionOrder, LeastSignificantWordIsUnsigned)
{
    EXPECT_GT(GetVersionOrder(0x00050001, 0x80000000), GetVersionOrder(0x00050001, 0x7FFFFFFF));
    EXPECT_GT(GetVersionOrder(0x00050001, 0xFFFFFFFF), GetVersionOrder(0x00050001, 0));
    EXPECT_LT(GetVersionOrder(0x00050001, 0xFFFFFFFF), GetVersionOrder(0x00050002, 0));
}

TEST(ModuleVersion, EmptyObject)
{
    CModuleVersion version;
    EXPECT_EQ(0u, version.dwSignature);
    EXPECT_EQ(0u, version.dwFileVersionMS);
    EXPECT_EQ(1252, version.GetCodePage());
    EXPECT_EQ("", version.GetStringValue("CompanyName"));
}

TEST(ModuleVersion, LoadFromFileReadsFixedBlockAndStrings)
{
    CModuleVersion version;
    ASSERT_TRUE(version.LoadFromFile(Fixture("v5_1_2600_2180")));
    EXPECT_EQ(static_cast<DWORD>(VS_FFI_SIGNATURE), version.dwSignature);
    EXPECT_EQ("5.1.2600.2180", VersionOf(version));
    EXPECT_EQ(0x00050001u, version.dwFileVersionMS);
    EXPECT_EQ(0x0A280884u, version.dwFileVersionLS);
    EXPECT_EQ(0u, version.dwFileFlags & VS_FF_PRERELEASE);
    EXPECT_EQ(0x040c, version.GetLanguage());
    EXPECT_EQ(1252, version.GetCodePage());
    EXPECT_EQ("Hadrel", version.GetStringValue("CompanyName"));
    EXPECT_EQ("Orvane", version.GetStringValue("ProductName"));
    EXPECT_EQ("Orvane version fixture", version.GetStringValue("FileDescription"));
    EXPECT_EQ("Copyright (C) 2026 Hadrel. Tous droits r\xe9serv\xe9s.",
              version.GetStringValue("LegalCopyright"));
    EXPECT_EQ("", version.GetStringValue("NoSuchValue"));
}

TEST(ModuleVersion, LargeMajorVersions)
{
    CModuleVersion version;
    ASSERT_TRUE(version.LoadFromFile(Fixture("v40000")));
    EXPECT_EQ("40000.0.0.0", VersionOf(version));
    ASSERT_TRUE(version.LoadFromFile(Fixture("v39999")));
    EXPECT_EQ("39999.0.0.0", VersionOf(version));
}

TEST(ModuleVersion, PreReleaseFlag)
{
    CModuleVersion version;
    ASSERT_TRUE(version.LoadFromFile(Fixture("vbeta")));
    EXPECT_EQ("1.2.3.4", VersionOf(version));
    EXPECT_EQ(static_cast<DWORD>(VS_FF_PRERELEASE), version.dwFileFlags & VS_FF_PRERELEASE);
    EXPECT_EQ("Version 1.02 (build 3.4) [BETA]",
              FormatVersionText(version.dwFileVersionMS, version.dwFileVersionLS,
                                version.dwFileFlags));
}

TEST(ModuleVersion, MissingTranslationKeepsCodePage1252)
{
    CModuleVersion version;
    ASSERT_TRUE(version.LoadFromFile(Fixture("vnotranslation")));
    EXPECT_EQ("2.3.4.5", VersionOf(version));
    EXPECT_EQ(0, version.GetLanguage());
    EXPECT_EQ(1252, version.GetCodePage());
    // The strings are stored under language 0, code page 1252 (000004e4).
    EXPECT_EQ("Neutral Fixture", version.GetStringValue("CompanyName"));
}

TEST(ModuleVersion, ShortTranslationKeepsCodePage1252)
{
    CModuleVersion version;
    // A French fixture first: the next load must not keep its translation.
    ASSERT_TRUE(version.LoadFromFile(Fixture("v6_0_0_0")));
    ASSERT_EQ(0x040c, version.GetLanguage());
    ASSERT_TRUE(version.LoadFromFile(Fixture("vshorttranslation")));
    EXPECT_EQ("2.3.4.5", VersionOf(version));
    EXPECT_EQ(0, version.GetLanguage());
    EXPECT_EQ(1252, version.GetCodePage());
    EXPECT_EQ("", version.GetStringValue("CompanyName"));
}

TEST(ModuleVersion, FilesWithoutVersion)
{
    CScratchDir dir;
    const std::string text = dir.File("readme.txt", "no version here\r\n");

    CModuleVersion version;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(version.LoadFromFile(Fixture("vnone")));
    EXPECT_NE(0xdeadbeefu, GetLastError());
    EXPECT_EQ("", version.GetStringValue("CompanyName"));
    EXPECT_EQ(0u, version.dwSignature);

    SetLastError(0xdeadbeef);
    EXPECT_FALSE(version.LoadFromFile(text));
    EXPECT_NE(0xdeadbeefu, GetLastError());

    SetLastError(0xdeadbeef);
    EXPECT_FALSE(version.LoadFromFile(dir / "missing.exe"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
}

TEST(ModuleVersion, FailedLoadForgetsTheEarlierFile)
{
    CModuleVersion version;
    ASSERT_TRUE(version.LoadFromFile(Fixture("v5_1_2600_0")));
    ASSERT_EQ("Hadrel", version.GetStringValue("CompanyName"));
    EXPECT_FALSE(version.LoadFromFile(Fixture("vnone")));
    EXPECT_EQ(0u, version.dwSignature);
    EXPECT_EQ(0u, version.dwFileVersionMS);
    EXPECT_EQ(1252, version.GetCodePage());
    EXPECT_EQ("", version.GetStringValue("CompanyName"));
}

TEST(ModuleVersion, LoadFromModule)
{
    CModuleVersion version;
    EXPECT_TRUE(version.LoadFromModule("kernel32.dll"));
    EXPECT_EQ(static_cast<DWORD>(VS_FFI_SIGNATURE), version.dwSignature);

    // The test program itself carries no version resource.
    EXPECT_FALSE(version.LoadFromModule(nullptr));

    SetLastError(0xdeadbeef);
    EXPECT_FALSE(version.LoadFromModule("orvnotloaded.dll"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_MOD_NOT_FOUND), GetLastError());
}

TEST(ModuleVersion, BannerVersionOfOrvline)
{
    CModuleVersion version;
    ASSERT_TRUE(version.LoadFromFile(GetBinPath("orvline.exe")));
    EXPECT_EQ("Orvane en Ligne de Commandes", version.GetStringValue("FileDescription"));
    const std::string text =
        FormatVersionText(version.dwFileVersionMS, version.dwFileVersionLS, version.dwFileFlags);
    EXPECT_EQ("Version 1.00 (build 0.0)", text);

    const SRunResult run = RunOrvline("");
    EXPECT_EQ(0u, run.out.find("Orvane en Ligne de Commandes - " + text + "\r\n")) << run.out;
}

TEST(IsNotOlderVersion, ComparesFileVersions)
{
    const std::string v2600 = Fixture("v5_1_2600_0");
    const std::string v2180 = Fixture("v5_1_2600_2180");
    const std::string v6 = Fixture("v6_0_0_0");
    const std::string v59 = Fixture("v5_9_9999_9999");

    EXPECT_TRUE(IsNotOlderVersion(v2600, v2180));
    EXPECT_FALSE(IsNotOlderVersion(v2180, v2600));
    EXPECT_FALSE(IsNotOlderVersion(v6, v59));
    EXPECT_TRUE(IsNotOlderVersion(v59, v6));
    EXPECT_TRUE(IsNotOlderVersion(v6, v6));
    EXPECT_TRUE(IsNotOlderVersion(v2180, v2180));
}

TEST(IsNotOlderVersion, SignedMajorVersions)
{
    const std::string v40000 = Fixture("v40000");
    const std::string v39999 = Fixture("v39999");
    const std::string v5 = Fixture("v5_1_2600_0");

    // 40000 has a negative high word: it is older than 5.1.
    EXPECT_FALSE(IsNotOlderVersion(v5, v40000));
    EXPECT_TRUE(IsNotOlderVersion(v40000, v5));
    // Both negative: their order is kept.
    EXPECT_FALSE(IsNotOlderVersion(v40000, v39999));
    EXPECT_TRUE(IsNotOlderVersion(v39999, v40000));
}

TEST(IsNotOlderVersion, MissingVersionNeverBlocks)
{
    CScratchDir dir;
    const std::string text = dir.File("plain.txt", "text");
    const std::string v6 = Fixture("v6_0_0_0");

    EXPECT_TRUE(IsNotOlderVersion(v6, Fixture("vnone")));
    EXPECT_TRUE(IsNotOlderVersion(Fixture("vnone"), v6));
    EXPECT_TRUE(IsNotOlderVersion(v6, text));
    EXPECT_TRUE(IsNotOlderVersion(text, v6));
    EXPECT_TRUE(IsNotOlderVersion(v6, dir / "missing.dll"));
    EXPECT_TRUE(IsNotOlderVersion(dir / "missing.dll", v6));
}

TEST(IsNotOlderVersion, OnlyTheFileVersionCounts)
{
    // The beta flag and the translation play no part: 2.3.4.5 against 1.2.3.4.
    EXPECT_FALSE(IsNotOlderVersion(Fixture("vnotranslation"), Fixture("vbeta")));
    EXPECT_TRUE(IsNotOlderVersion(Fixture("vbeta"), Fixture("vshorttranslation")));
}
