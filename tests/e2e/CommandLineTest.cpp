// orvline started as a child process: arguments, usage, messages and exit
// codes, with the exact bytes of each stream.
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace
{

const char kBanner[] =
    "Orvane en Ligne de Commandes - Version 1.00 (build 0.0)\r\n"
    "Remplace, deplace, renomme ou supprime tout fichier ou dossier verrouille par un processus "
    "en cours.\r\n"
    "Copyright (C) 2026 Hadrel. Tous droits reserves.\r\n"
    "https://www.hadrel.example/orvane\r\n"
    "\r\n";

const char kUsage[] =
    "Syntaxe:\r\n\r\n"
    "  orvline [<rep. source> [<rep. cible>]] [/downgrade] [/log] [/pending] [/reboot]\r\n\r\n"
    "Signification:\r\n\r\n"
    "  <rep. source>\tOption, repertoire complet d'acces au fichier\r\n"
    "  <rep. cible>\tOption, repertoire complet de destination\r\n\r\n"
    "Commandes Optionnelles:\r\n"
    "  /downgrade\tAutorise le remplacement d'un fichier par une version plus ancienne\r\n"
    "  /log\t\tCree un fichier de rapport apres avoir effectue les operations\r\n"
    "  /pending\tAcquisition et traitement des operations en attente systeme\r\n"
    "  /reboot\tRedemarrage automatique si c'est necessaire\r\n\r\n";

} // namespace

TEST(OrvlineArguments, WithoutArgumentsPrintsBannerAndUsage)
{
    const SRunResult run = RunOrvline("");
    EXPECT_EQ(2u, run.exitCode);
    EXPECT_EQ(std::string(kBanner) + kUsage, run.out);
    EXPECT_EQ("", run.err);
}

TEST(OrvlineArguments, PathAfterAnOptionIsTheTarget)
{
    CScratchDir dir;
    const std::string file = dir / "a.txt";
    ASSERT_TRUE(WriteFileBytes(file, "a"));

    // Positions are absolute: the path is argument 2, the source stays empty.
    const SRunResult run = RunOrvline("/reboot " + Quote(file));
    EXPECT_EQ(2u, run.exitCode);
    EXPECT_EQ(std::string(kBanner) + kUsage, run.out);
    EXPECT_TRUE(PathExists(file));
}

TEST(OrvlineArguments, MissingSource)
{
    CScratchDir dir;
    const SRunResult run = RunOrvline(Quote(dir / "missing.txt") + " /x /logfile");
    EXPECT_EQ(4u, run.exitCode);
    EXPECT_EQ(kBanner, run.out);
    EXPECT_EQ("\r\nLe repertoire source n'existe pas\r\n", run.err);
}

TEST(OrvlineArguments, DeletesAFreeFile)
{
    CScratchDir dir;
    const std::string file = dir / "free.txt";
    ASSERT_TRUE(WriteFileBytes(file, "x"));
    const SRunResult run = RunOrvline(Quote(file));
    EXPECT_EQ(0u, run.exitCode);
    EXPECT_EQ(std::string(kBanner) + "Traitement...\r\nFait.\r\n", run.out);
    EXPECT_EQ("", run.err);
    EXPECT_FALSE(PathExists(file));
}

TEST(OrvlineRestart, LockedFileIsDeletedAtRestart)
{
    ClearPendingQueue();
    CScratchDir dir;
    const std::string file = dir / "locked.dll";
    ASSERT_TRUE(WriteFileBytes(file, "locked"));
    {
        CHolder holder(CHolder::Open, file);
        ASSERT_TRUE(holder.IsHolding());
        const SRunResult run = RunOrvline(Quote(file));
        EXPECT_EQ(0u, run.exitCode) << run.err;
        EXPECT_EQ(std::string(kBanner) + "Traitement...\r\nFait.\r\n", run.out);
    }
    std::vector<char> queue;
    ASSERT_TRUE(ReadPendingValue(queue));
    const std::vector<std::string> strings = SplitMultiString(queue);
    ASSERT_GE(strings.size(), 2u);
    EXPECT_EQ("\\??\\" + file, strings[0]);
    EXPECT_EQ("", strings[1]);
    EXPECT_TRUE(PathExists(file));

    ASSERT_TRUE(RestartPrefix());
    EXPECT_FALSE(PathExists(file));
    EXPECT_FALSE(ReadPendingValue(queue));
}
