// The wizard's rules as plain functions: command-line keywords, the
// context-menu command, the about box's lines, error texts.
#include "engine/ModuleVersion.h"
#include "engine/Text.h"
#include "resources/orvgui/resource.h"
#include "tests/support/TestSupport.h"
#include "window/WizardMessages.h"
#include "wizard/AboutDlg.h"
#include "wizard/ContextMenu.h"
#include "wizard/MyCommandLineInfo.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{

CMyCommandLineInfo Parse(std::vector<const char*> arguments)
{
    arguments.insert(arguments.begin(), "orvgui.exe");
    CMyCommandLineInfo info;
    ParseCommandLine(info, static_cast<int>(arguments.size()), arguments.data());
    return info;
}

} // namespace

TEST(CommandLineKeywords, AbbreviationsAndPrefixes)
{
    EXPECT_EQ(static_cast<DWORD>(RequestInstall), FindKeywordRequest("install"));
    EXPECT_EQ(static_cast<DWORD>(RequestInstall), FindKeywordRequest("i"));
    EXPECT_EQ(static_cast<DWORD>(RequestInstall), FindKeywordRequest("INST"));
    // The shorter length counts: a longer flag that starts with the keyword matches.
    EXPECT_EQ(static_cast<DWORD>(RequestInstall), FindKeywordRequest("installer"));
    // An empty flag text matches the first keyword.
    EXPECT_EQ(static_cast<DWORD>(RequestInstall), FindKeywordRequest(""));
    EXPECT_EQ(static_cast<DWORD>(RequestUninstall), FindKeywordRequest("u"));
    EXPECT_EQ(static_cast<DWORD>(RequestUninstall), FindKeywordRequest("un"));
    EXPECT_EQ(static_cast<DWORD>(RequestUninstall), FindKeywordRequest("UNINSTALL"));
    EXPECT_EQ(0u, FindKeywordRequest("x"));
    EXPECT_EQ(0u, FindKeywordRequest("in-"));
    EXPECT_EQ(static_cast<DWORD>(RequestUninstall), FindKeywordRequest("uninstallx"));
    EXPECT_EQ(0u, FindKeywordRequest("unx"));
}

TEST(CommandLineParsing, FlagsAndParameters)
{
    EXPECT_EQ(static_cast<DWORD>(RequestInstall), Parse({"/i"}).GetRequests());
    EXPECT_EQ(static_cast<DWORD>(RequestInstall), Parse({"-installer"}).GetRequests());
    EXPECT_EQ(static_cast<DWORD>(RequestInstall), Parse({"/"}).GetRequests());
    EXPECT_EQ(static_cast<DWORD>(RequestInstall), Parse({"-"}).GetRequests());
    EXPECT_EQ(static_cast<DWORD>(RequestUninstall), Parse({"/un"}).GetRequests());
    EXPECT_EQ(static_cast<DWORD>(RequestInstall | RequestUninstall),
              Parse({"/uninstall", "/install"}).GetRequests());

    const CMyCommandLineInfo ignored = Parse({"/x", "C:\\dir\\file.ext"});
    EXPECT_EQ(0u, ignored.GetRequests());
    EXPECT_EQ("C:\\dir\\file.ext", ignored.GetPath());

    // Only the first parameter is the path, wherever the flags are.
    const CMyCommandLineInfo two = Parse({"a", "/u", "b"});
    EXPECT_EQ("a", two.GetPath());
    EXPECT_EQ(static_cast<DWORD>(RequestUninstall), two.GetRequests());
    EXPECT_EQ("", Parse({}).GetPath());
}

TEST(ContextMenuCommand, FormatAndProgram)
{
    EXPECT_EQ("\"C:\\Program Files\\Orvane\\orvgui.exe\" \"%1\"",
              FormatContextMenuCommand("C:\\Program Files\\Orvane\\orvgui.exe"));

    EXPECT_EQ("C:\\a b\\x.exe", GetCommandProgram("\"C:\\a b\\x.exe\" \"%1\""));
    EXPECT_EQ("C:\\x.exe", GetCommandProgram(" \t C:\\x.exe %1\r\n"));
    EXPECT_EQ("", GetCommandProgram("C:\\x.exe"));
    EXPECT_EQ("", GetCommandProgram("\"C:\\x.exe"));
    EXPECT_EQ("", GetCommandProgram("\"\" \"%1\""));
    EXPECT_EQ("", GetCommandProgram("  "));
    // A single quote is no quoted path: the text before the first blank.
    EXPECT_EQ("", GetCommandProgram("\""));
}

TEST(AboutBoxLines, VersionAndBetaFlag)
{
    const std::string format = "Version: %d.%02d (build %d.%d)";
    EXPECT_EQ("Version: 2.02 (build 0.1)", FormatVersionLine(format, 0x00020002, 0x00000001, 0));
    EXPECT_EQ("Version: 2.02 (build 0.1) [BETA]",
              FormatVersionLine(format, 0x00020002, 0x00000001, VS_FF_PRERELEASE));
    EXPECT_EQ("Version: 1.00 (build 0.0)",
              FormatVersionLine(format, 0x00010000, 0, VS_FF_DEBUG | VS_FF_PATCHED));
    EXPECT_EQ("Version: 65535.65535 (build 65535.65535)",
              FormatVersionLine(format, 0xFFFFFFFF, 0xFFFFFFFF, 0));
}

TEST(AboutBoxLines, LegalNoticeUpToTheFirstDot)
{
    EXPECT_EQ("Copyright (C) 2026 Hadrel",
              GetFirstSentence(Ansi("Copyright (C) 2026 Hadrel. Tous droits réservés.")));
    EXPECT_EQ("Copyright Hadrel", GetFirstSentence("Copyright Hadrel"));
    EXPECT_EQ("Hadrel", GetFirstSentence("..Hadrel.x"));
    EXPECT_EQ("", GetFirstSentence("..."));
    EXPECT_EQ("", GetFirstSentence(""));
}

TEST(WizardMessages, ErrorTextFollowsTheMessage)
{
    SetMessageTexts(IDS_PRODUCT_NAME, IDS_ERROR_CODE);
    EXPECT_EQ(Ansi("Impossible d'ajouter le/les objet(s) à la liste.\nErreur 5: Access denied."),
              AppendErrorText(Ansi("Impossible d'ajouter le/les objet(s) à la liste."), 5));
}
