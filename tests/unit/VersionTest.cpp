// Version resources of real files: the fixed block, the strings, the
// translation defaults and the downgrade test, on small programs built with
// chosen versions.
#include "cli/CommandLine.h"
#include "engine/ModuleVersion.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>

namespace
{

// Major, minor, build and revision of the loaded file version.
std::string VersionOf(const CModuleVersion& version)
{
    char text[64];
    std::snprintf(text, sizeof(text), "%u.%u.%u.%u", HIWORD(version.dwFileVersionMS),
                  LOWORD(version.dwFileVersionMS), HIWORD(version.dwFileVersionLS),
                  LOWORD(version.dwFileVersionLS));
    return text;
}

ULONGLONG Order(WORD major, WORD minor, WORD build, WORD revision)
{
    return GetVersionOrder(MAKELONG(minor, major), MAKELONG(revision, build));
}

} // namespace

TEST(VersionOrder, EarlierVersionsOrderLower)
{
    struct
    {
        const char* what;
        ULONGLONG older;
        ULONGLONG newer;
    } cases[] = {
        // The fields decide in turn.
        {"revision", Order(5, 1, 2600, 0), Order(5, 1, 2600, 2180)},
        {"major", Order(5, 9, 9999, 9999), Order(6, 0, 0, 0)},
        {"minor", Order(5, 1, 65535, 65535), Order(5, 2, 0, 0)},
        // Every field is an unsigned number: 40000 is above 1.
        {"1 < 40000", Order(1, 0, 0, 0), Order(40000, 0, 0, 0)},
        {"0 < 40000", Order(0, 0, 0, 0), Order(40000, 0, 0, 0)},
        {"39999 < 40000", Order(39999, 0, 0, 0), Order(40000, 0, 0, 0)},
        {"32767 < 32768", Order(32767, 65535, 65535, 65535), Order(32768, 0, 0, 0)},
        {"all ones", Order(0, 0, 0, 1), Order(65535, 65535, 65535, 65535)},
        // The least significant word is unsigned.
        {"LS 0x7FFFFFFF", GetVersionOrder(0x00050001, 0x7FFFFFFF), GetVersionOrder(0x00050001, 0x80000000)},
        {"LS 0", GetVersionOrder(0x00050001, 0), GetVersionOrder(0x00050001, 0xFFFFFFFF)},
        {"MS first", GetVersionOrder(0x00050001, 0xFFFFFFFF), GetVersionOrder(0x00050002, 0)},
    };
    for (const auto& c : cases)
        EXPECT_LT(c.older, c.newer) << c.what;
    EXPECT_EQ(~0ull, GetVersionOrder(0xFFFFFFFF, 0xFFFFFFFF));
}

TEST(ModuleVersion, LoadFromFileReadsFixedBlockAndStrings)
{
    CModuleVersion version;
    ASSERT_TRUE(version.LoadFromFile(FixturePath("v5_1_2600_2180")));
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

TEST(ModuleVersion, FixtureVersionsAndTranslations)
{
    struct
    {
        const char* fixture;
        const char* version;
        int language;
        const char* company;
    } cases[] = {
        {"v40000", "40000.0.0.0", 0x040c, "Hadrel"},
        {"v39999", "39999.0.0.0", 0x040c, "Hadrel"},
        {"vbeta", "1.2.3.4", 0x040c, "Hadrel"},
        // Without a translation the strings are looked up under language 0,
        // code page 1252 (000004e4).
        {"vnotranslation", "2.3.4.5", 0, "Neutral Fixture"},
        // After a French file: a short translation must not keep its language.
        {"v6_0_0_0", "6.0.0.0", 0x040c, "Hadrel"},
        {"vshorttranslation", "2.3.4.5", 0, ""},
    };
    CModuleVersion version;
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.fixture);
        ASSERT_TRUE(version.LoadFromFile(FixturePath(c.fixture)));
        EXPECT_EQ(c.version, VersionOf(version));
        EXPECT_EQ(c.language, version.GetLanguage());
        EXPECT_EQ(1252, version.GetCodePage());
        EXPECT_EQ(c.company, version.GetStringValue("CompanyName"));
        // Only the beta fixture is a pre-release, and its banner says so.
        const bool beta = std::string(c.fixture) == "vbeta";
        EXPECT_EQ(beta ? static_cast<DWORD>(VS_FF_PRERELEASE) : 0u,
                  version.dwFileFlags & VS_FF_PRERELEASE);
        if (beta)
        {
            EXPECT_EQ("Version 1.02 (build 3.4) [BETA]",
                      FormatVersionText(version.dwFileVersionMS, version.dwFileVersionLS,
                                        version.dwFileFlags));
        }
    }
}

TEST(ModuleVersion, FilesWithoutVersion)
{
    CScratchDir dir;
    const std::string text = dir.File("readme.txt", "no version here\r\n");

    CModuleVersion version;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(version.LoadFromFile(FixturePath("vnone"))) << GetLastError();
    EXPECT_NE(0xdeadbeefu, GetLastError());
    EXPECT_EQ("", version.GetStringValue("CompanyName"));
    EXPECT_EQ(0u, version.dwSignature);

    SetLastError(0xdeadbeef);
    EXPECT_FALSE(version.LoadFromFile(text)) << GetLastError();
    EXPECT_NE(0xdeadbeefu, GetLastError());

    SetLastError(0xdeadbeef);
    EXPECT_FALSE(version.LoadFromFile(dir / "missing.exe")) << GetLastError();
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
}

TEST(ModuleVersion, FailedLoadForgetsTheEarlierFile)
{
    // A new object and one whose load failed look the same.
    auto expectEmpty = [](const CModuleVersion& version) {
        EXPECT_EQ(0u, version.dwSignature);
        EXPECT_EQ(0u, version.dwFileVersionMS);
        EXPECT_EQ(1252, version.GetCodePage());
        EXPECT_EQ("", version.GetStringValue("CompanyName"));
    };
    CModuleVersion version;
    expectEmpty(version);
    ASSERT_TRUE(version.LoadFromFile(FixturePath("v5_1_2600_0")));
    ASSERT_EQ("Hadrel", version.GetStringValue("CompanyName"));
    EXPECT_FALSE(version.LoadFromFile(FixturePath("vnone")));
    expectEmpty(version);
}

TEST(ModuleVersion, LoadFromModule)
{
    CModuleVersion version;
    EXPECT_TRUE(version.LoadFromModule("kernel32.dll"));
    EXPECT_EQ(static_cast<DWORD>(VS_FFI_SIGNATURE), version.dwSignature);

    // The test program itself carries no version resource.
    EXPECT_FALSE(version.LoadFromModule(nullptr));

    SetLastError(0xdeadbeef);
    EXPECT_FALSE(version.LoadFromModule("orvnotloaded.dll")) << GetLastError();
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

TEST(IsNotOlderVersion, ComparesFileVersionsOnly)
{
    CScratchDir dir;
    const std::string text = dir.File("plain.txt", "text");
    const std::string missing = dir / "missing.dll";
    struct
    {
        std::string source;
        std::string target;
        bool notOlder;
    } cases[] = {
        {FixturePath("v5_1_2600_0"), FixturePath("v5_1_2600_2180"), true},
        {FixturePath("v5_1_2600_2180"), FixturePath("v5_1_2600_0"), false},
        {FixturePath("v6_0_0_0"), FixturePath("v5_9_9999_9999"), false},
        {FixturePath("v5_9_9999_9999"), FixturePath("v6_0_0_0"), true},
        {FixturePath("v6_0_0_0"), FixturePath("v6_0_0_0"), true},
        {FixturePath("v5_1_2600_2180"), FixturePath("v5_1_2600_2180"), true},
        // 40000 is newer than 5.1.
        {FixturePath("v5_1_2600_0"), FixturePath("v40000"), true},
        {FixturePath("v40000"), FixturePath("v5_1_2600_0"), false},
        {FixturePath("v40000"), FixturePath("v39999"), false},
        {FixturePath("v39999"), FixturePath("v40000"), true},
        // A missing version never blocks.
        {FixturePath("v6_0_0_0"), FixturePath("vnone"), true},
        {FixturePath("vnone"), FixturePath("v6_0_0_0"), true},
        {FixturePath("v6_0_0_0"), text, true},
        {text, FixturePath("v6_0_0_0"), true},
        {FixturePath("v6_0_0_0"), missing, true},
        {missing, FixturePath("v6_0_0_0"), true},
        // The beta flag and the translation play no part: 2.3.4.5 against 1.2.3.4.
        {FixturePath("vnotranslation"), FixturePath("vbeta"), false},
        {FixturePath("vbeta"), FixturePath("vshorttranslation"), true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.notOlder, IsNotOlderVersion(c.source, c.target)) << c.source << " / " << c.target;
}

// The program's own fixed block read from its resource bytes, as the banner
// reads it, and what a damaged block gives.
TEST(ParseFixedVersion, ResourceBytesOfOrvline)
{
    const HMODULE image =
        LoadLibraryExA(GetBinPath("orvline.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, image);
    const HRSRC info = FindResourceA(image, MAKEINTRESOURCEA(VS_VERSION_INFO), MAKEINTRESOURCEA(16));
    ASSERT_NE(nullptr, info);
    const auto* bytes = static_cast<const BYTE*>(LockResource(LoadResource(image, info)));
    const std::string resource(reinterpret_cast<const char*>(bytes), SizeofResource(image, info));
    FreeLibrary(image);

    CModuleVersion expected;
    ASSERT_TRUE(expected.LoadFromFile(GetBinPath("orvline.exe")));
    VS_FIXEDFILEINFO fixed{};
    ASSERT_TRUE(ParseFixedVersion(reinterpret_cast<const BYTE*>(resource.data()), resource.size(), fixed));
    EXPECT_EQ(expected.dwFileVersionMS, fixed.dwFileVersionMS);
    EXPECT_EQ(expected.dwFileVersionLS, fixed.dwFileVersionLS);
    EXPECT_EQ(expected.dwFileFlags, fixed.dwFileFlags);

    const struct
    {
        const char* what;
        std::size_t offset;  // byte changed, or the size the block is cut to
        bool cut;
    } damaged[] = {
        {"cut inside the fixed block", 40 + sizeof(VS_FIXEDFILEINFO) - 1, true},
        {"cut inside the key", 20, true},
        {"empty", 0, true},
        {"value length too short", 2, false},
        {"another key", 6, false},
        {"no signature", 40, false},
    };
    for (const auto& row : damaged)
    {
        std::string block = resource;
        if (row.cut)
            block.resize(row.offset);
        else
            block[row.offset] = static_cast<char>(row.offset == 2 ? 0x10 : block[row.offset] ^ 0x20);
        VS_FIXEDFILEINFO untouched{};
        untouched.dwSignature = 7;
        // A heap block of exactly the size, so that a read past it is caught.
        std::unique_ptr<BYTE[]> exact(new BYTE[block.size() + 1]);
        std::memcpy(exact.get(), block.data(), block.size());
        EXPECT_FALSE(ParseFixedVersion(exact.get(), block.size(), untouched)) << row.what;
        EXPECT_EQ(7u, untouched.dwSignature) << row.what;
    }
}
