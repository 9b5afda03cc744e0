// orvline run as a careless or hostile user would run it: each row a command
// line, the files and the restart queue before, then the exit code, the
// error stream, the files and the queue after (and after a restart).
// Nothing that the command line did not name may be lost or changed.
#include "TestSupport.h"

#include "FileInfo.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace
{

const char kFailed[] = "\r\nTraitement echoue\r\n";
const char kCannotAdd[] = "Impossible d'ajouter un/des objet(s) a la liste en cours";

std::string ErrorLine(const std::string& text)
{
    return "\r\n" + text + "\r\n";
}

// A message or a failed operation's path, with the system's text and code.
std::string SystemLine(const std::string& text, DWORD code)
{
    return FailureLine(text, code);
}

struct SRow
{
    const char* name;
    std::string folder;                // current folder, under %d
    std::string args;                  // %d: the scratch folder, %n: its name, %z: one on Z:
    std::vector<std::string> before;   // "name=bytes", or "name\" for a folder
    std::vector<std::string> queue;    // the queue's strings (UTF-8); empty: no queue
    DWORD queueType = REG_MULTI_SZ;
    std::string locked;                // a file held open during the run
    DWORD exitCode;
    std::string err;                   // the exact error stream
    std::vector<std::string> after;    // the whole tree of %d (and of %z under "Z\")
    std::vector<std::string> queueAfter;
    bool backedUp = false;             // the backup is the queue as it was, type included
    std::vector<std::string> afterRestart; // empty: no restart
};

std::string Expand(std::string text, const std::string& dir, const std::string& zdir)
{
    const std::string name = dir.substr(dir.find_last_of('\\') + 1);
    for (const auto& token : {std::make_pair("%d", dir), std::make_pair("%n", name),
                              std::make_pair("%z", zdir)})
    {
        for (std::size_t at; (at = text.find(token.first)) != std::string::npos;)
            text.replace(at, 2, token.second);
    }
    return text;
}

void ListTree(const std::string& root, const std::string& prefix, std::vector<std::string>& out)
{
    WIN32_FIND_DATAA data = {};
    HANDLE find = FindFirstFileA((root + "\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do
    {
        const std::string name = data.cFileName;
        if (name == "." || name == "..")
            continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        {
            out.push_back(prefix + name + "\\");
            ListTree(root + "\\" + name, prefix + name + "\\", out);
        }
        else
        {
            out.push_back(prefix + name + "=" + ReadFileBytes(root + "\\" + name));
        }
    } while (FindNextFileA(find, &data));
    FindClose(find);
}

std::vector<std::string> Sorted(std::vector<std::string> lines)
{
    std::sort(lines.begin(), lines.end());
    return lines;
}

// A folder on another drive (Wine's Z: is the Unix root).
class CZDir
{
public:
    CZDir() : m_path("Z:\\tmp\\orvtest-" + std::to_string(GetCurrentProcessId()))
    {
        RemoveTree(m_path);
        CreateDirectoryA(m_path.c_str(), nullptr);
    }
    ~CZDir() { RemoveTree(m_path); }
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

void RunRow(const SRow& row)
{
    SCOPED_TRACE(row.name);
    CEmptyPendingQueue queue;
    CScratchDir dir;
    CZDir zdir;
    const auto expand = [&](const std::string& text) { return Expand(text, dir.Path(), zdir.Path()); };
    const auto expandAll = [&](std::vector<std::string> lines) {
        for (std::string& line : lines)
            line = expand(line);
        return lines;
    };

    for (const std::string& entry : row.before)
    {
        if (entry.back() == '\\')
            ASSERT_TRUE(CreateDirectoryA((dir / entry).c_str(), nullptr)) << entry;
        else
            ASSERT_TRUE(WriteFileBytes(dir / entry.substr(0, entry.find('=')),
                                       entry.substr(entry.find('=') + 1)));
    }
    const std::vector<std::string> queued = expandAll(row.queue);
    if (!queued.empty())
    {
        ASSERT_TRUE(WritePendingUtf8(row.queueType, queued));
    }

    SRunResult run;
    {
        std::unique_ptr<CHolder> holder;
        if (!row.locked.empty())
        {
            holder.reset(new CHolder(CHolder::Open, dir / row.locked));
            ASSERT_TRUE(holder->IsHolding());
        }
        run = RunOrvlineIn(dir / row.folder, expand(row.args));
    }
    EXPECT_EQ(row.exitCode, run.exitCode) << run.err;
    EXPECT_EQ(expand(row.err), run.err);

    const auto tree = [&] {
        std::vector<std::string> lines;
        ListTree(dir.Path(), "", lines);
        ListTree(zdir.Path(), "Z\\", lines);
        return Sorted(lines);
    };
    EXPECT_EQ(Sorted(expandAll(row.after)), tree());
    EXPECT_EQ(expandAll(row.queueAfter), PendingUtf8());
    if (row.backedUp)
    {
        DWORD type = 0;
        EXPECT_EQ(queued, PendingUtf8("PendingFileRenameOperations.Backup", &type));
        EXPECT_EQ(row.queueType, type);
    }
    if (!row.afterRestart.empty())
    {
        ASSERT_TRUE(RestartPrefix());
        EXPECT_EQ(Sorted(expandAll(row.afterRestart)), tree());
    }
}

} // namespace

TEST(OrvlineKeeps, TheCommandLine)
{
    const std::string same = ErrorLine("Les repertoires source et de destination doivent etre differents");
    const std::string missing = ErrorLine("Le repertoire source n'existe pas");
    const SRow rows[] = {
        // A rename never turns into a deletion.
        {"target that looks like an option", "", "%d\\report.txt -old-report.txt", {"report.txt=r"},
         {}, REG_MULTI_SZ, "", 0, "", {"-old-report.txt=r"}, {}, false, {}},
        {"empty target", "", "%d\\a.txt \"\"", {"a.txt=a"}, {}, REG_MULTI_SZ, "", 2, "", {"a.txt=a"}, {}, false, {}},
        {"path after an option", "", "%d\\c.txt /log %d\\dest", {"c.txt=c"}, {}, REG_MULTI_SZ, "", 2,
         "", {"c.txt=c"}, {}, false, {}},
        // Relative paths are full paths from the start, in messages too.
        {"relative paths", "", "a.txt nosuch\\b.txt", {"a.txt=a"}, {}, REG_MULTI_SZ, "", 10,
         SystemLine("%d\\nosuch\\b.txt", ERROR_PATH_NOT_FOUND) + kFailed, {"a.txt=a"}, {}, false, {}},
        {"drive-relative target", "sub", "%d\\a.txt C:", {"a.txt=a", "sub\\"}, {}, REG_MULTI_SZ, "",
         0, "", {"sub\\", "sub\\a.txt=a"}, {}, false, {}},
        // The same object under another spelling.
        {"trailing dot", "", "%d\\a.txt %d\\a.txt.", {"a.txt=a"}, {}, REG_MULTI_SZ, "", 7, same,
         {"a.txt=a"}, {}, false, {}},
        {"trailing blank", "", "%d\\a.txt \"%d\\a.txt \"", {"a.txt=a"}, {}, REG_MULTI_SZ, "", 7, same,
         {"a.txt=a"}, {}, false, {}},
        {"dot", "", "%d\\a.txt %d\\.\\a.txt", {"a.txt=a"}, {}, REG_MULTI_SZ, "", 7, same, {"a.txt=a"}, {}, false, {}},
        {"dot dot", "", "%d\\a.txt %d\\..\\%n\\a.txt", {"a.txt=a"}, {}, REG_MULTI_SZ, "", 7, same,
         {"a.txt=a"}, {}, false, {}},
        {"slashes", "", "%d\\a.txt %d/a.txt", {"a.txt=a"}, {}, REG_MULTI_SZ, "", 7, same, {"a.txt=a"}, {}, false, {}},
        {"folder and its trailing separator", "", "%d\\d2 %d\\d2\\", {"d2\\", "d2\\f=f"}, {},
         REG_MULTI_SZ, "", 7, same, {"d2\\", "d2\\f=f"}, {}, false, {}},
        // The system's own folders are never a source.
        {"drive root", "", "C:\\ %d", {}, {}, REG_MULTI_SZ, "", 5,
         SystemLine(kCannotAdd, ERROR_ACCESS_DENIED), {}, {}, false, {}},
        {"Windows folder", "", "C:\\WINDOWS\\. %d\\nosuch", {}, {}, REG_MULTI_SZ, "", 5,
         SystemLine(kCannotAdd, ERROR_ACCESS_DENIED), {}, {}, false, {}},
        {"system folder", "", "c:\\windows\\system32\\ %d\\nosuch", {}, {}, REG_MULTI_SZ, "", 5,
         SystemLine(kCannotAdd, ERROR_ACCESS_DENIED), {}, {}, false, {}},
        // Devices are no files.
        {"device source", "", "COM1", {}, {}, REG_MULTI_SZ, "", 4, missing, {}, {}, false, {}},
        {"device with extension", "", "%d\\com1.txt", {}, {}, REG_MULTI_SZ, "", 4, missing, {}, {}, false, {}},
        {"device with colon", "", "aux:", {}, {}, REG_MULTI_SZ, "", 4, missing, {}, {}, false, {}},
        {"device target", "", "%d\\a.txt %d\\nul.txt", {"a.txt=a"}, {}, REG_MULTI_SZ, "", 5,
         SystemLine(kCannotAdd, ERROR_INVALID_NAME), {"a.txt=a"}, {}, false, {}},
    };
    for (const SRow& row : rows)
        RunRow(row);
}

TEST(OrvlineKeeps, ShortNamesAreTheSameObject)
{
    CScratchDir dir;
    const std::string file = dir.File("long file name.txt", "x");
    char shortPath[MAX_PATH] = {};
    ASSERT_NE(0u, GetShortPathNameA(file.c_str(), shortPath, MAX_PATH));
    ASSERT_NE(file, shortPath);
    EXPECT_TRUE(RunEnded(RunOrvline(Quote(file) + " " + shortPath), 7, "",
                         "\r\nLes repertoires source et de destination doivent etre differents\r\n"));
    EXPECT_EQ("x", ReadFileBytes(file));
}

TEST(OrvlineKeeps, WhatCanNeverHappen)
{
    const SRow rows[] = {
        // A file never replaces a folder; nothing is queued.
        {"file onto a folder", "", "%d\\a.txt %d\\e", {"a.txt=a", "e\\", "e\\a.txt\\"}, {},
         REG_MULTI_SZ, "", 10, SystemLine("%d\\e\\a.txt", ERROR_ACCESS_DENIED) + kFailed,
         {"a.txt=a", "e\\", "e\\a.txt\\"}, {}, false, {}},
        // The restart cannot move across drives.
        {"locked file onto another drive", "", "%d\\l.dll %z", {"l.dll=l"}, {}, REG_MULTI_SZ, "l.dll",
         10, SystemLine("%z\\l.dll", ERROR_NOT_SAME_DEVICE) + kFailed, {"l.dll=l"}, {}, false, {}},
        {"locked file replacing one on another drive", "", "%d\\l.dll %z\\l.dll",
         {"l.dll=l"}, {}, REG_MULTI_SZ, "l.dll", 10,
         SystemLine("%z\\l.dll", ERROR_NOT_SAME_DEVICE) + kFailed, {"l.dll=l"}, {}, false, {}},
    };
    for (const SRow& row : rows)
        RunRow(row);
}

TEST(OrvlineKeeps, TheQueueItDoesNotTakeOver)
{
    const std::vector<std::string> others = {
        "\\??\\%d\\\xd0\x96\xd1\x83\xd0\xba.dll", "",          // a Unicode name
        "\\??\\UNC\\server\\share\\f.dll", "",                  // a UNC form
        "\\??\\%d\\gone.txt", "\\??\\%d\\kept.txt",             // a source that is gone
        "\\??\\C:\\", "\\??\\%d\\m",                            // a drive root
    };
    std::vector<std::string> mixed = others;
    mixed.insert(mixed.begin() + 4, {"\\??\\%d\\a.txt", ""});
    std::vector<std::string> binary = {"\\??\\%d\\a.txt", "", "\\??\\C:\\", "\\??\\%d\\m"};
    const std::string gathering = kGathering;

    const SRow rows[] = {
        // Any exit before the run leaves the queue as it was.
        {"missing source", "", "%d\\nope.txt /pending", {"a.txt=a"}, {"\\??\\%d\\a.txt", ""},
         REG_MULTI_SZ, "", 4, ErrorLine("Le repertoire source n'existe pas"), {"a.txt=a"},
         {"\\??\\%d\\a.txt", ""}, false, {}},
        {"same paths", "", "%d\\a.txt %d\\A.TXT /pending", {"a.txt=a"}, {"\\??\\%d\\a.txt", ""},
         REG_MULTI_SZ, "", 7, ErrorLine("Les repertoires source et de destination doivent etre differents"),
         {"a.txt=a"}, {"\\??\\%d\\a.txt", ""}, false, {}},
        // Only what was taken over leaves the queue; the rest stays as it was.
        {"entries not taken over", "", "/pending", {"a.txt=a"}, mixed, REG_MULTI_SZ, "", 0, "", {},
         others, true, {}},
        {"UTF-16 in a binary value", "", "/pending", {"a.txt=a", "m\\"}, binary, REG_BINARY, "", 0, "",
         {"m\\"}, {"\\??\\C:\\", "\\??\\%d\\m"}, true, {}},
        // Without "!" an existing destination is never overwritten.
        // A failed entry stays queued, as the restart would try it.
        {"rename without replace", "", "/pending", {"new.txt=n", "old.txt=o"},
         {"\\??\\%d\\new.txt", "\\??\\%d\\old.txt"}, REG_MULTI_SZ, "", 10,
         SystemLine("%d\\old.txt", ERROR_ALREADY_EXISTS) + kFailed, {"new.txt=n", "old.txt=o"},
         {"\\??\\%d\\new.txt", "\\??\\%d\\old.txt"}, true, {}},
        {"locked rename without replace", "", "/pending", {"new.txt=n", "old.txt=o"},
         {"\\??\\%d\\new.txt", "\\??\\%d\\old.txt"}, REG_MULTI_SZ, "new.txt", 0, "",
         {"new.txt=n", "old.txt=o"}, {"\\??\\%d\\new.txt", "\\??\\%d\\old.txt"}, true,
         {"new.txt=n", "old.txt=o"}},
        // A queued replacement is a move: its source does not stay behind.
        {"replace moves", "", "/pending", {"new.txt=n", "old.txt=o"},
         {"\\??\\%d\\new.txt", "!\\??\\%d\\old.txt"}, REG_MULTI_SZ, "", 0, "",
         {"old.txt=n"}, {}, true, {"old.txt=n"}},
        // After the take-over and a restart, every file ends as the restart
        // alone would have left it: what cannot be done now stays queued, and
        // so does every later entry that touches one of its paths, in order.
        {"a locked deletion, then a rename onto its name", "", "/pending",
         {"a.new=new", "b.dll=old"},
         {"\\??\\%d\\b.dll", "", "\\??\\%d\\a.new", "\\??\\%d\\b.dll"}, REG_MULTI_SZ, "b.dll",
         0, "", {"a.new=new", "b.dll=old"},
         {"\\??\\%d\\b.dll", "", "\\??\\%d\\a.new", "\\??\\%d\\b.dll"}, true, {"b.dll=new"}},
        {"two replacements of an absent name: the second wins", "", "/pending",
         {"x.tmp=x", "y.tmp=y"},
         {"\\??\\%d\\x.tmp", "!\\??\\%d\\b.dll", "\\??\\%d\\y.tmp", "!\\??\\%d\\b.dll"},
         REG_MULTI_SZ, "", 0, "", {"b.dll=y"}, {}, true, {"b.dll=y"}},
        {"a locked source, then its destination renamed", "", "/pending", {"a.txt=a"},
         {"\\??\\%d\\a.txt", "\\??\\%d\\c.txt", "\\??\\%d\\c.txt", "\\??\\%d\\d.txt"},
         REG_MULTI_SZ, "a.txt", 0, "", {"a.txt=a"},
         {"\\??\\%d\\a.txt", "\\??\\%d\\c.txt", "\\??\\%d\\c.txt", "\\??\\%d\\d.txt"},
         true, {"d.txt=a"}},
        {"a failed rename holds back what touches its paths", "", "/pending",
         {"a.new=new", "b.dll=old", "c.tmp=c"},
         {"\\??\\%d\\a.new", "\\??\\%d\\b.dll", "\\??\\%d\\b.dll", "\\??\\%d\\z.dll",
          "\\??\\%d\\c.tmp", ""},
         REG_MULTI_SZ, "", 10, SystemLine("%d\\b.dll", ERROR_ALREADY_EXISTS) + kFailed,
         {"a.new=new", "b.dll=old"},
         {"\\??\\%d\\a.new", "\\??\\%d\\b.dll", "\\??\\%d\\b.dll", "\\??\\%d\\z.dll"}, true,
         {"a.new=new", "z.dll=old"}},
        // Another type: the reason is told.
        {"string value", "", "/pending", {"a.txt=a"}, {"\\??\\%d\\a.txt"}, REG_SZ, "", 3,
         SystemLine("Traitement echoue", ERROR_INVALID_DATA), {"a.txt=a"}, {"\\??\\%d\\a.txt"}, false, {}},
    };
    for (const SRow& row : rows)
        RunRow(row);
}
