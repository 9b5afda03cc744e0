// orvline /holders and /queue: they tell what holds a path and what waits
// for the restart, and change nothing.
#include "engine/Text.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <sstream>
#include <vector>

namespace
{

// The lines of a run's output after its banner, without their CR LF.
std::vector<std::string> OutputLines(const SRunResult& run)
{
    std::vector<std::string> lines;
    std::istringstream stream(AfterBanner(run.out));
    for (std::string line; std::getline(stream, line);)
    {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// "id<TAB>how" of each holder line whose executable is the holder program.
std::vector<std::string> HolderLines(const SRunResult& run)
{
    std::vector<std::string> found;
    for (const std::string& line : OutputLines(run))
    {
        const std::size_t first = line.find('\t');
        const std::size_t second = line.find('\t', first + 1);
        if (first == std::string::npos || second == std::string::npos)
            continue;
        const std::string image = line.substr(first + 1, second - first - 1);
        EXPECT_TRUE(IsSameText(image, GetBinPath("orvholder.exe"))) << line;
        found.push_back(line.substr(0, first) + "\t" + line.substr(second + 1));
    }
    std::sort(found.begin(), found.end());
    return found;
}

// Every way of holding a folder, and one process that holds none of it
// but a pipe whose name query could hang.
TEST(OrvlineHolders, EveryWayOfHoldingAFolderOrAFile)
{
    CEmptyPendingQueue queue;
    CScratchDir dir;
    const std::string target = dir.Folder("target");
    const std::string file = dir.File("target\\held.txt", "held");
    const std::string sub = dir.Folder("target\\sub");
    const std::string work = dir.Folder("target\\work");
    const std::string dll = target + "\\lib.dll";
    ASSERT_TRUE(CopyFixtureDll(dll));

    struct
    {
        CHolder::EMode mode;
        std::string path;
        const char* heldAs; // null: not a holder
        bool holdsFile;
    } cases[] = {
        {CHolder::Open, file, "ouvert", true},
        {CHolder::Folder, sub, "ouvert", false},
        {CHolder::Cwd, work, "ouvert", false},
        {CHolder::Load, dll, "charge", false},
        {CHolder::Both, dll, "charge et ouvert", false},
        {CHolder::Pipe, "orvholder-pipe-" + std::to_string(::GetCurrentProcessId()), nullptr, false},
    };
    std::vector<std::unique_ptr<CHolder>> holders;
    std::vector<std::string> ofFolder;
    std::vector<std::string> ofFile;
    for (const auto& c : cases)
    {
        holders.push_back(std::make_unique<CHolder>(c.mode, c.path));
        ASSERT_TRUE(holders.back()->IsHolding()) << c.path;
        const std::string line = std::to_string(holders.back()->GetProcessId()) + "\t" +
                                 (c.heldAs ? c.heldAs : "");
        if (c.heldAs)
            ofFolder.push_back(line);
        if (c.holdsFile)
            ofFile.push_back(line);
    }
    std::sort(ofFolder.begin(), ofFolder.end());

    const SRunResult run = RunOrvline(Quote(target) + " /holders");
    EXPECT_EQ(12u, run.exitCode) << run.out << run.err;
    EXPECT_EQ("", run.err);
    EXPECT_EQ(ofFolder, HolderLines(run)) << run.out;

    // The file alone; /pending and /log change nothing beside the report.
    const SRunResult ofItself = RunOrvline(Quote(file) + " /h /pending /log");
    EXPECT_EQ(12u, ofItself.exitCode) << ofItself.err;
    EXPECT_EQ(ofFile, HolderLines(ofItself)) << ofItself.out;
    EXPECT_TRUE(PathExists(file));
    EXPECT_TRUE(PathExists(dll));
    EXPECT_EQ("", PendingQueueBytes());

    holders.clear();
    EXPECT_TRUE(RunEnded(RunOrvline(Quote(target) + " /holders"), 0,
                         "Aucun processus n'utilise ce fichier ou ce dossier.\r\n", ""));
    EXPECT_TRUE(RunEnded(RunOrvline(Quote(dir / "missing.txt") + " /holders"), 4, "",
                         "\r\nLe repertoire source n'existe pas\r\n"));
}

TEST(OrvlineQueue, ListedInOrderAndNothingTakenOver)
{
    CEmptyPendingQueue queue;
    CScratchDir dir;
    const std::string deleted = dir.File("a.tmp", "a");
    const std::string renamed = dir.File("b.txt", "b");
    const std::string replaced = dir.File("c.dll", "c");
    dir.Folder("new");
    const std::string replacement = dir.File("new\\c.dll", "new");
    const std::string gone = dir / "gone.txt";
    // Entries that are no full drive paths are shown as they stand.
    ASSERT_TRUE(WritePendingUtf8(REG_MULTI_SZ, {NtPath(deleted), "", NtPath(renamed), NtPath(dir / "b2.txt"),
                                                NtPath(gone), "", NtPath(replacement),
                                                "!" + NtPath(replaced), "\\??\\C:", "",
                                                "\\??\\C:q\\c", "!\\??\\C:\\q"}));
    const std::string before = PendingQueueBytes();

    // With /pending too: listing takes nothing over and runs nothing.
    EXPECT_TRUE(RunEnded(RunOrvline("/queue /pending"), 0,
                         "Supprimer " + deleted + "\r\n" +
                         "Renommer " + renamed + " vers " + (dir / "b2.txt") + "\r\n" +
                         "Supprimer " + gone + " (source absente)\r\n" +
                         "Remplacer " + replaced + " avec " + replacement + "\r\n" +
                         "Supprimer \\??\\C:\r\n"
                         "Deplacer \\??\\C:q\\c vers !\\??\\C:\\q\r\n",
                         ""));
    EXPECT_EQ(before, PendingQueueBytes());
    for (const std::string& path : {deleted, renamed, replaced, replacement})
        EXPECT_TRUE(PathExists(path)) << path;

    ClearPendingQueue();
    EXPECT_TRUE(RunEnded(RunOrvline("/q"), 0, "Aucune operation en attente.\r\n", ""));
}

// A line goes to a pipe or a file in the system's OEM code page as before
// while the names in it have their form there, and whole in UTF-8 when one
// lacks it: never with "?" marks.
TEST(OrvlineQueue, ALineWithANameTheOemCodePageLacksComesInUtf8)
{
    CEmptyPendingQueue queue;
    CScratchDir dir;
    const std::string cafe = dir.File("café.txt", "c");
    const std::string beetle = dir.File("Жук.txt", "z");
    const std::string gone = dir / "日本語.txt";
    ASSERT_TRUE(WritePendingUtf8(REG_MULTI_SZ, {NtPath(cafe), "", NtPath(beetle), NtPath(dir / "😀.txt"),
                                                NtPath(gone), ""}));
    EXPECT_TRUE(RunEnded(RunOrvline("/queue"), 0,
                         "Supprimer " + dir.Path() + "\\caf\x82.txt\r\n" + // 437
                             "Renommer " + beetle + " vers " + (dir / "😀.txt") + "\r\n" +
                             "Supprimer " + gone + " (source absente)\r\n",
                         ""));
}

TEST(OrvlineHolders, AnExecutableNamedBeyondTheCodePage)
{
    CScratchDir dir;
    const std::string program = dir.Folder("日本") + "\\orvholder.exe";
    ASSERT_TRUE(CopyFileA(GetBinPath("orvholder.exe").c_str(), program.c_str(), FALSE));
    const std::string file = dir.File("Ελληνικά.txt", "g");
    CHolder holder(CHolder::Open, file, program);
    ASSERT_TRUE(holder.IsHolding());
    EXPECT_TRUE(RunEnded(RunOrvline(Quote(file) + " /holders"), 12,
                         std::to_string(holder.GetProcessId()) + "\t" + program + "\touvert\r\n", ""));
}

} // namespace
