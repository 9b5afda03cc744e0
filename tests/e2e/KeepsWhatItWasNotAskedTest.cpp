// orvline run as a careless or hostile user would run it: each row a command
// line, the files and the restart queue before, then the exit code, the
// error stream, the files and the queue after (and after a restart).
// Nothing that the command line did not name may be lost or changed.
#include "tests/support/TestSupport.h"

#include "engine/FileInfo.h"
#include "engine/Text.h"

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
    std::string args;                  // %d: the scratch folder, %n: its name, %z: one on Z:,
                                       // %s: the current folder's short form
    std::vector<std::string> before;   // "name=bytes", or "name\" for a folder
    std::vector<std::string> queue;    // the queue's strings (UTF-8); empty: no queue
    DWORD queueType = REG_MULTI_SZ;
    std::string locked;                // a file (or a folder, "name\") held open during the run
    DWORD exitCode;
    std::string err;                   // the exact error stream
    std::vector<std::string> after;    // the whole tree of %d (and of %z under "Z\"), in UTF-8;
                                       // "name@" for a link, "name?" for a name no path reaches
    std::vector<std::string> queueAfter;
    bool backedUp = false;             // the backup is the queue as it was, type included
    std::vector<std::string> afterRestart; // empty: no restart
};

// A row with what only the Unix side can make (links, names that Windows
// cannot hold or write), and the output stream checked too.
struct SSetupRow
{
    SRow row;
    std::string unix;                  // a Unix shell script run first; %u: the scratch folder
    const char* out;                   // the exact output after the banner
};

std::string Expand(std::string text, const std::string& dir, const std::string& zdir,
                   const std::string& unixDir, const std::string& shortFolder)
{
    const std::string name = dir.substr(dir.find_last_of('\\') + 1);
    // The scratch folder through K:, another letter for C: where a test
    // makes one.
    const std::string kdir = "K" + dir.substr(1);
    for (const auto& token : {std::make_pair("%d", dir), std::make_pair("%n", name),
                              std::make_pair("%z", zdir), std::make_pair("%u", unixDir),
                              std::make_pair("%s", shortFolder),
                              std::make_pair("%k", kdir)})
    {
        for (std::size_t at; (at = text.find(token.first)) != std::string::npos;)
            text.replace(at, 2, token.second);
    }
    return text;
}

std::string Utf8(const std::wstring& text)
{
    char buffer[1024] = {};
    const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                           buffer, sizeof(buffer), nullptr, nullptr);
    return std::string(buffer, static_cast<std::size_t>(length > 0 ? length : 0));
}

std::string ReadWideFileBytes(const std::wstring& path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    std::string bytes;
    char buffer[4096];
    DWORD read = 0;
    while (file != INVALID_HANDLE_VALUE && ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read)
        bytes.append(buffer, read);
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    return bytes;
}

// The tree as it is, every name exact (the wide calls: no name read as
// another), links not followed.
void ListTree(const std::wstring& root, const std::string& prefix, std::vector<std::string>& out)
{
    WIN32_FIND_DATAW data = {};
    HANDLE find = FindFirstFileW((root + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do
    {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..")
            continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
        {
            out.push_back(prefix + Utf8(name) + "@");
        }
        else if (name.find_first_of(L"\\/") != std::wstring::npos)
        {
            // No path reaches it: its name alone.
            out.push_back(prefix + Utf8(name) + "?");
        }
        else if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        {
            out.push_back(prefix + Utf8(name) + "\\");
            ListTree(root + L"\\" + name, prefix + Utf8(name) + "\\", out);
        }
        else
        {
            out.push_back(prefix + Utf8(name) + "=" + ReadWideFileBytes(root + L"\\" + name));
        }
    } while (FindNextFileW(find, &data));
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

// Another letter for a folder, as "subst" gives one: a link in the prefix's
// dosdevices folder, removed again at the end.
class CDriveLetter
{
public:
    CDriveLetter(char letter, const std::string& folder)
    {
        const std::string root = UnixPath("C:\\");
        m_link = root.substr(0, root.rfind("/c:") + 1) + static_cast<char>(letter + 'a' - 'A') + ":";
        EXPECT_TRUE(RunUnixShell("ln -sfn '" + UnixPath(folder) + "' '" + m_link + "'"));
    }
    ~CDriveLetter() { RunUnixShell("rm -f '" + m_link + "'"); }
    CDriveLetter(const CDriveLetter&) = delete;
    CDriveLetter& operator=(const CDriveLetter&) = delete;

private:
    std::string m_link;
};

void RunRow(const SRow& row, const std::string& unix = std::string(), const char* out = nullptr)
{
    SCOPED_TRACE(row.name);
    CEmptyPendingQueue queue;
    CScratchDir dir;
    CZDir zdir;
    const std::string unixDir = UnixPath(dir.Path());
    std::string shortFolder;
    const auto expand = [&](const std::string& text) {
        return Expand(text, dir.Path(), zdir.Path(), unixDir, shortFolder);
    };
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
    if (row.args.find("%s") != std::string::npos)
        shortFolder = ShortPath(dir / row.folder);
    if (!unix.empty())
    {
        ASSERT_TRUE(RunUnixShell(expand(unix))) << unix;
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
            const bool folder = row.locked.back() == '\\';
            holder.reset(new CHolder(folder ? CHolder::Folder : CHolder::Open,
                                     dir / row.locked.substr(0, row.locked.size() - (folder ? 1 : 0))));
            ASSERT_TRUE(holder->IsHolding());
        }
        run = RunOrvlineIn(dir / row.folder, expand(row.args));
    }
    EXPECT_EQ(row.exitCode, run.exitCode) << run.err;
    EXPECT_EQ(expand(row.err), run.err);
    if (out)
    {
        EXPECT_EQ(out, AfterBanner(run.out));
    }

    const auto tree = [&] {
        std::vector<std::string> lines;
        ListTree(AnsiToWide(dir.Path()), "", lines);
        ListTree(AnsiToWide(zdir.Path()), "Z\\", lines);
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
        {"Unix path after an option", "", "%d\\a.txt -l /t/sub/new.txt", {"a.txt=a"}, {}, REG_MULTI_SZ, "",
         2, "", {"a.txt=a"}, {}, false, {}},
        {"name like an option after an option", "", "%d\\a.txt /log -new.txt", {"a.txt=a"}, {},
         REG_MULTI_SZ, "", 2, "", {"a.txt=a"}, {}, false, {}},
        {"share after an option", "", "%d\\a.txt /log //server/x", {"a.txt=a"}, {}, REG_MULTI_SZ, "", 2,
         "", {"a.txt=a"}, {}, false, {}},
        {"name like an option after a value", "", "%d\\a.txt /reboot:no -x.txt", {"a.txt=a"}, {},
         REG_MULTI_SZ, "", 2, "", {"a.txt=a"}, {}, false, {}},
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
        // The drive of a "\\?\" path is the drive it names.
        {"folder with \\\\?\\ into a folder", "", "\\\\?\\%d\\F %d\\G", {"F\\", "F\\f=f", "G\\"}, {},
         REG_MULTI_SZ, "", 0, "", {"G\\", "G\\F\\", "G\\F\\f=f"}, {}, false, {}},
        {"locked file onto a \\\\?\\ path", "", "%d\\l.dll \\\\?\\%d\\m.dll", {"l.dll=l"}, {},
         REG_MULTI_SZ, "l.dll", 0, "", {"l.dll=l"}, {"\\??\\%d\\l.dll", "\\??\\%d\\m.dll"}, false,
         {"m.dll=l"}},
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

TEST(OrvlineKeeps, TheSystemAndCurrentFoldersByAnySpelling)
{
    const std::string denied = SystemLine(kCannotAdd, ERROR_ACCESS_DENIED);
    const std::string current = SystemLine(
        "Le dossier courant ou un dossier qui le contient ne peut etre ni supprime ni deplace", ERROR_ACCESS_DENIED);
    const std::vector<std::string> tree = {"a.txt=a", "other\\", "sub\\", "sub\\s=s"};
    const std::vector<std::string> longTree = {"long folder name\\", "long folder name\\s=s"};
    std::vector<std::string> linked = tree;
    linked.push_back("sub\\up@");
    const std::string windows = UnixPath("C:\\windows");
    // Q: names the drive C: too.
    CDriveLetter letter('Q', "C:\\");
    const SSetupRow rows[] = {
        {{"Windows folder with \\\\?\\", "", "\\\\?\\C:\\windows %d\\nosuch", {}, {}, REG_MULTI_SZ, "", 5,
          denied, {}, {}, false, {}}, "", ""},
        {{"system folder with \\\\?\\", "", "\\\\?\\c:\\WINDOWS\\SYSTEM32\\ %d\\nosuch", {}, {},
          REG_MULTI_SZ, "", 5, denied, {}, {}, false, {}}, "", ""},
        {{"system folder on another letter", "", "Q:\\windows\\system32 %d\\nosuch", {}, {}, REG_MULTI_SZ,
          "", 5, denied, {}, {}, false, {}}, "", ""},
        {{"system folder through a link", "", "%d\\winlink\\system32 %d\\nosuch", {}, {}, REG_MULTI_SZ,
          "", 5, denied, {"winlink@"}, {}, false, {}}, "ln -s '" + windows + "' %u/winlink", ""},
        {{"link to the drive", "", "%d\\rootlink %d\\nosuch", {}, {}, REG_MULTI_SZ, "", 5, denied,
          {"rootlink@"}, {}, false, {}}, "ln -s '" + UnixPath("C:\\") + "' %u/rootlink", ""},
        {{"link to another drive", "", "%d\\zlink %d\\nosuch", {}, {}, REG_MULTI_SZ, "", 5, denied,
          {"zlink@"}, {}, false, {}}, "ln -s / %u/zlink", ""},
        // Nor are the folder the command stands in (sub) and those above it.
        {{"dot", "sub", ".", tree, {}, REG_MULTI_SZ, "", 5, current, tree, {}, false, {}}, "", ""},
        {{"dot dot", "sub", "..", tree, {}, REG_MULTI_SZ, "", 5, current, tree, {}, false, {}}, "", ""},
        {{"bare drive", "sub", "C:", tree, {}, REG_MULTI_SZ, "", 5, current, tree, {}, false, {}}, "", ""},
        {{"up through a child", "sub", "x\\..\\..", tree, {}, REG_MULTI_SZ, "", 5, current, tree, {}, false,
          {}}, "", ""},
        {{"full path of the parent", "sub", "%d", tree, {}, REG_MULTI_SZ, "", 5, current, tree, {}, false, {}},
         "", ""},
        {{"parent with \\\\?\\", "sub", "\\\\?\\%d\\", tree, {}, REG_MULTI_SZ, "", 5, current, tree, {},
          false, {}}, "", ""},
        {{"parent on another letter", "sub", "Q:\\orvtest\\%n", tree, {}, REG_MULTI_SZ, "", 5, current, tree,
          {}, false, {}}, "", ""},
        {{"short name", "long folder name", "%s", longTree, {}, REG_MULTI_SZ, "", 5, current, longTree, {},
          false, {}}, "", ""},
        {{"link to the parent", "sub", "up", tree, {}, REG_MULTI_SZ, "", 5, current, linked, {}, false, {}},
         "ln -s %u %u/sub/up", ""},
        {{"moved into another folder", "sub", ". ..\\other", tree, {}, REG_MULTI_SZ, "", 5, current, tree, {},
          false, {}}, "", ""},
        // What lies inside it or beside it goes as before.
        {{"child folder", "", "sub", tree, {}, REG_MULTI_SZ, "", 0, "", {"a.txt=a", "other\\"}, {}, false,
          {}}, "", kProcessed},
        {{"folder beside it", "sub", "..\\other", tree, {}, REG_MULTI_SZ, "", 0, "",
          {"a.txt=a", "sub\\", "sub\\s=s"}, {}, false, {}}, "", kProcessed},
        {{"rename by relative names", "", "a.txt b.txt", tree, {}, REG_MULTI_SZ, "", 0, "",
          {"b.txt=a", "other\\", "sub\\", "sub\\s=s"}, {}, false, {}}, "", kProcessed},
    };
    for (const SSetupRow& row : rows)
        RunRow(row.row, row.unix, row.out);
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
    const std::string overlong = "C:\\" + std::string(256, 'n');
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
        // Nor what fails at once when nothing holds the object: the same
        // reason, nothing queued.
        {"locked folder into itself", "", "%d\\F %d\\F\\sub", {"F\\", "F\\sub\\"}, {}, REG_MULTI_SZ,
         "F\\", 10, SystemLine("%d\\F\\sub\\F", ERROR_INVALID_PARAMETER) + kFailed, {"F\\", "F\\sub\\"},
         {}, false, {}},
        {"locked file into a missing folder", "", "%d\\a.txt %d\\nodir\\a.txt", {"a.txt=a"}, {},
         REG_MULTI_SZ, "a.txt", 10, SystemLine("%d\\nodir\\a.txt", ERROR_PATH_NOT_FOUND) + kFailed,
         {"a.txt=a"}, {}, false, {}},
        {"wildcard in the new name", "", "%d\\a.txt %d\\b*x.txt", {"a.txt=a"}, {}, REG_MULTI_SZ, "a.txt",
         10, SystemLine("%d\\b*x.txt", ERROR_INVALID_NAME) + kFailed, {"a.txt=a"}, {}, false, {}},
        {"reserved character in the new name", "", "%d\\a.txt %d\\c<x.txt", {"a.txt=a"}, {},
         REG_MULTI_SZ, "a.txt", 10, SystemLine("%d\\c<x.txt", ERROR_INVALID_NAME) + kFailed, {"a.txt=a"},
         {}, false, {}},
        {"new name longer than a name", "", "%d\\a.txt " + overlong, {"a.txt=a"}, {}, REG_MULTI_SZ, "a.txt",
         10, SystemLine(overlong, ERROR_FILENAME_EXCED_RANGE) + kFailed, {"a.txt=a"}, {}, false, {}},
        {"locked folder onto a folder", "", "%d\\F %d\\G", {"F\\", "G\\", "G\\F\\"}, {}, REG_MULTI_SZ,
         "F\\", 10, SystemLine("%d\\G\\F", ERROR_ALREADY_EXISTS) + kFailed, {"F\\", "G\\", "G\\F\\"}, {},
         false, {}},
        // A folder queued over a file would replace it at the restart.
        {"locked folder onto a file", "", "%d\\F %d\\H", {"F\\", "H\\", "H\\F=kept"}, {}, REG_MULTI_SZ,
         "F\\", 10, SystemLine("%d\\H\\F", ERROR_ALREADY_EXISTS) + kFailed, {"F\\", "H\\", "H\\F=kept"},
         {}, false, {"F\\", "H\\", "H\\F=kept"}},
    };
    for (const SRow& row : rows)
        RunRow(row);
}

TEST(OrvlineKeeps, NothingOutsideTheTree)
{
    // Fullwidth full stops and reverse solidus, which the ANSI calls read as
    // "..\\" (the Unix side holds names in UTF-8).
    const std::string fullwidth = "$(printf '\\357\\274\\216\\357\\274\\216\\357\\274\\274')";
    const SSetupRow rows[] = {
        // Reached through their short names.
        {{"names the code page reads as paths", "", "%d\\a\\T", {"a\\", "a\\T\\", "a\\victim.txt=v", "keep\\",
          "keep\\k=k"}, {}, REG_MULTI_SZ, "", 0, "", {"a\\", "a\\victim.txt=v", "keep\\", "keep\\k=k"}, {},
          false, {}}, "cd %u/a/T && w=" + fullwidth + " && printf t > ${w}victim.txt && mkdir ${w}${w}keep && "
          "printf i > ${w}${w}keep/inner", kProcessed},
        // A fullwidth "a" that the ANSI calls read as the "a" of another file.
        {{"name the code page reads as another", "", "%d\\a\\T", {"a\\", "a\\T\\", "a\\T\\a.txt=a"}, {},
          REG_MULTI_SZ, "", 0, "", {"a\\"}, {}, false, {}},
         "printf t > %u/a/T/$(printf '\\357\\275\\201').txt", kProcessed},
        // No name reaches it alone: it stays, and so does its folder.
        {{"name holding a separator", "", "%d\\a\\T", {"a\\", "a\\T\\", "a\\victim.txt=v"}, {},
          REG_MULTI_SZ, "", 10, SystemLine("%d\\a\\T\\..?victim.txt", ERROR_INVALID_NAME) +
          SystemLine("%d\\a\\T", ERROR_DIR_NOT_EMPTY) + kFailed,
          {"a\\", "a\\T\\", "a\\T\\..\\victim.txt?", "a\\victim.txt=v"}, {}, false, {}},
         "printf t > '%u/a/T/..\\victim.txt'", "Traitement...\r\n"},
    };
    for (const SSetupRow& row : rows)
        RunRow(row.row, row.unix, row.out);
}

// Names in Japanese, Cyrillic and Greek, an emoji (beyond the Basic
// Multilingual Plane) and a combining accent, which no Western code page
// holds: each reaches its own file, and only that one, at once or through
// the queue (kept in UTF-16) and a restart. A path is a narrow string of at
// most 259 bytes, and such names take 2 to 4 bytes a character.
TEST(OrvlineKeeps, NamesBeyondTheCodePage)
{
    // 135 bytes of 45 characters: two such names make a path too long for
    // a path buffer (each fits a Unix name).
    const std::string part = [] {
        std::string name;
        for (int i = 0; i < 45; ++i)
            name += "\xe6\x97\xa5";
        return name;
    }();
    const std::string longPath = part + "\\" + part + ".txt";
    const std::string missing = ErrorLine("Le repertoire source n'existe pas");
    const SRow rows[] = {
        {"deleted", "", "%d\\日本語.txt", {"日本語.txt=j", "abc.txt=a"}, {}, REG_MULTI_SZ, "", 0, "",
         {"abc.txt=a"}, {}, false, {}},
        {"renamed", "", "%d\\Жук.txt %d\\Ελληνικά.txt", {"Жук.txt=z"}, {}, REG_MULTI_SZ, "", 0, "",
         {"Ελληνικά.txt=z"}, {}, false, {}},
        {"moved into a folder", "", "%d\\😀.txt %d\\Ж", {"😀.txt=e", "Ж\\"}, {}, REG_MULTI_SZ, "", 0, "",
         {"Ж\\", "Ж\\😀.txt=e"}, {}, false, {}},
        {"replaced", "", "%d\\new.txt %d\\日本語.txt", {"new.txt=n", "日本語.txt=o"}, {}, REG_MULTI_SZ, "", 0, "",
         {"new.txt=n", "日本語.txt=n"}, {}, false, {}},
        // "e" and a combining acute accent: not its composed twin.
        {"combining accent", "", "%d\\e\xcc\x81.txt", {"e\xcc\x81.txt=d", "\xc3\xa9.txt=c"}, {}, REG_MULTI_SZ,
         "", 0, "", {"\xc3\xa9.txt=c"}, {}, false, {}},
        {"locked, renamed at the restart", "", "%d\\Ελληνικά.txt %d\\😀.txt", {"Ελληνικά.txt=g"}, {},
         REG_MULTI_SZ, "Ελληνικά.txt", 0, "", {"Ελληνικά.txt=g"},
         {"\\??\\%d\\Ελληνικά.txt", "\\??\\%d\\😀.txt"}, false, {"😀.txt=g"}},
        {"taken over from the queue", "", "/pending", {"Жук.txt=z"}, {"\\??\\%d\\Жук.txt", "\\??\\%d\\日本語.txt"},
         REG_MULTI_SZ, "", 0, "", {"日本語.txt=z"}, {}, true, {}},
        // A tree by its own names, not its short ones: the locked file is
        // queued by its name, its folders after it.
        {"tree with a locked file", "", "%d\\Ж",
         {"keep.txt=k", "Ж\\", "Ж\\日本語.txt=j", "Ж\\😀\\", "Ж\\😀\\e\xcc\x81.txt=l"}, {}, REG_MULTI_SZ,
         "Ж\\😀\\e\xcc\x81.txt", 0, "", {"keep.txt=k", "Ж\\", "Ж\\😀\\", "Ж\\😀\\e\xcc\x81.txt=l"},
         {"\\??\\%d\\Ж\\😀\\e\xcc\x81.txt", "", "\\??\\%d\\Ж\\😀", "", "\\??\\%d\\Ж", ""}, false,
         {"keep.txt=k"}},
        // Longer than a path buffer in bytes: refused, never cut.
        {"target too long in bytes", "", "%d\\a.txt %d\\" + longPath, {"a.txt=a"}, {}, REG_MULTI_SZ, "", 5,
         SystemLine(kCannotAdd, ERROR_FILENAME_EXCED_RANGE), {"a.txt=a"}, {}, false, {}},
    };
    for (const SRow& row : rows)
        RunRow(row);

    // Files of such names made on the Unix side (Wine's narrow calls take
    // no path of more than 259 bytes).
    const std::string unixPath = part + "/" + part + ".txt";
    const SSetupRow longRows[] = {
        {{"source too long in bytes", "", "%d\\" + longPath, {}, {}, REG_MULTI_SZ, "", 4, missing,
          {part + "\\", longPath + "=x"}, {}, false, {}}, "mkdir %u/" + part + " && printf x > %u/" + unixPath, ""},
        // In a tree, the file is reached by its short name.
        {{"entry too long in bytes", "", "%d\\T", {"T\\", "k.txt=k"}, {}, REG_MULTI_SZ, "", 0, "", {"k.txt=k"}, {},
          false, {}}, "mkdir %u/T/" + part + " && printf x > %u/T/" + unixPath, kProcessed},
    };
    for (const SSetupRow& row : longRows)
        RunRow(row.row, row.unix, row.out);
}

// Where the system ignores the manifest's UTF-8 (before Windows 10 version
// 1903), a name that the ANSI code page lacks reaches nothing: the "?" put
// in its place is no wildcard that would match another file.
TEST(OrvlineKeeps, NamesTheCodePageLacksWithoutUtf8)
{
    CEmptyPendingQueue queue;
    CScratchDir dir;
    const std::string program = CopyWithoutUtf8("orvline.exe", dir.Folder("legacy"));
    if (program.empty())
        GTEST_SKIP() << "no program without UTF-8 here (its 64-bit build runs in its place)";
    const std::string other = dir.File("abc.txt", "a");
    const std::string japanese = dir.File("日本語.txt", "j");
    const SRunResult run = RunProgram(Quote(program) + " " + Quote(japanese));
    EXPECT_EQ(4u, run.exitCode) << run.err;
    EXPECT_EQ(ErrorLine("Le repertoire source n'existe pas"), run.err);
    EXPECT_EQ("a", ReadFileBytes(other));
    EXPECT_EQ("j", ReadFileBytes(japanese));
    EXPECT_EQ("", PendingQueueBytes());
}

// A replacement that runs out of room on the way: the file it replaces stays
// as it was, and nothing else is left on the volume.
TEST(OrvlineKeeps, TheFileItReplacesOnAFullVolume)
{
    // E: is a volume of 1 MB that the test run mounts where it may
    // (tools/test-prefixes).
    ULARGE_INTEGER available = {};
    if (!GetDiskFreeSpaceExA("E:\\", &available, nullptr, nullptr) || available.QuadPart > 4 << 20)
        GTEST_SKIP() << "no small volume E: in this test run";
    CScratchDir dir;
    const std::string folder = "E:\\orvtest" + std::to_string(GetCurrentProcessId());
    RemoveTree(folder);
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    const std::string old(100 * 1024, 'o');
    const std::string target = folder + "\\dst.bin";
    ASSERT_TRUE(WriteFileBytes(target, old));
    // 100 KB left: fewer than the new file needs even once the old one is gone.
    ASSERT_TRUE(GetDiskFreeSpaceExA("E:\\", &available, nullptr, nullptr));
    ASSERT_TRUE(WriteFileBytes(folder + "\\filler", std::string(available.LowPart - 100 * 1024, 'f')));
    const std::string source = dir.File("src.bin", std::string(400 * 1024, 'n'));

    CEmptyPendingQueue queue;
    // At once, and with the target in use: what cannot be copied is not
    // queued either.
    for (const bool held : {false, true})
    {
        SCOPED_TRACE(held ? "target in use" : "target free");
        std::unique_ptr<CHolder> holder;
        if (held)
        {
            holder = std::make_unique<CHolder>(CHolder::Open, target);
            ASSERT_TRUE(holder->IsHolding());
        }
        EXPECT_TRUE(RunEnded(RunOrvline(source + " " + target), 10, "Traitement...\r\n",
                             FailureLine(target, ERROR_DISK_FULL) + kFailed));
        holder.reset();
        EXPECT_TRUE(ReadFileBytes(target) == old);
        std::vector<std::string> left;
        ListTree(AnsiToWide(folder), "", left);
        EXPECT_EQ(2u, left.size());
        EXPECT_EQ("", PendingQueueBytes());
    }
    RemoveTree(folder);
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
    // K: names the drive C: too.
    CDriveLetter letter('K', "C:\\");

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
        // The same path under another letter for its drive is the same path.
        {"a locked rename on another letter, then a rename onto its name", "", "/pending",
         {"b.dll=b", "d.dll=d"},
         {"\\??\\%k\\b.dll", "\\??\\%k\\c.dll", "\\??\\%d\\d.dll", "\\??\\%d\\c.dll"},
         REG_MULTI_SZ, "b.dll", 0, "", {"b.dll=b", "d.dll=d"},
         {"\\??\\%k\\b.dll", "\\??\\%k\\c.dll", "\\??\\%d\\d.dll", "\\??\\%d\\c.dll"},
         true, {"c.dll=b", "d.dll=d"}},
        // Another type: the reason is told.
        {"string value", "", "/pending", {"a.txt=a"}, {"\\??\\%d\\a.txt"}, REG_SZ, "", 3,
         SystemLine("Traitement echoue", ERROR_INVALID_DATA), {"a.txt=a"}, {"\\??\\%d\\a.txt"}, false, {}},
    };
    for (const SRow& row : rows)
        RunRow(row);
}
