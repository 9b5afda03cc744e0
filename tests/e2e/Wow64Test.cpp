// The shipped 32-bit orvline on 64-bit Windows, which runs its 64-bit build
// in its place: it changes the file the user named, not its SysWOW64 twin,
// sees 64-bit holders and leaves nothing behind. These tests are 64-bit
// programs: they make and read both system folders without redirection.
#include "engine/NativeProgram.h"
#include "engine/Text.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <sstream>

namespace
{

const char kSubFolder[] = "orvwow64";

// A folder of the test in System32 and in SysWOW64, removed with its content.
class CSystemTwins
{
public:
    CSystemTwins()
        : m_native(WindowsPath(std::string("system32\\") + kSubFolder)),
          m_wow(WindowsPath(std::string("syswow64\\") + kSubFolder))
    {
        for (const std::string* folder : {&m_native, &m_wow})
        {
            RemoveTree(*folder);
            EXPECT_TRUE(::CreateDirectoryA(folder->c_str(), nullptr)) << *folder << ": " << ::GetLastError();
        }
    }
    ~CSystemTwins()
    {
        RemoveTree(m_native);
        RemoveTree(m_wow);
    }
    CSystemTwins(const CSystemTwins&) = delete;
    CSystemTwins& operator=(const CSystemTwins&) = delete;

    const std::string& Native() const { return m_native; }
    const std::string& Wow() const { return m_wow; }

private:
    std::string m_native;
    std::string m_wow;
};

// "name=bytes" of each file of the folder, sorted.
std::vector<std::string> Files(const std::string& folder)
{
    std::vector<std::string> files;
    WIN32_FIND_DATAA data = {};
    const HANDLE find = ::FindFirstFileA((folder + "\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return files;
    do
    {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            files.push_back(std::string(data.cFileName) + "=" + ReadFileBytes(folder + "\\" + data.cFileName));
    } while (::FindNextFileA(find, &data));
    ::FindClose(find);
    std::sort(files.begin(), files.end());
    return files;
}

std::string Expand(std::string text, const CSystemTwins& twins, const std::string& dir)
{
    char windows[MAX_PATH] = {};
    ::GetWindowsDirectoryA(windows, MAX_PATH);
    for (const auto& token : {std::make_pair("%s", twins.Native()), std::make_pair("%d", dir),
                              std::make_pair("%w", std::string(windows))})
    {
        for (std::size_t at; (at = text.find(token.first)) != std::string::npos;)
            text.replace(at, 2, token.second);
    }
    return text;
}

// The folders of runs in the temporary folder, by name.
std::vector<std::string> RunFolders()
{
    char temp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, temp);
    std::vector<std::string> names;
    WIN32_FIND_DATAA data = {};
    const HANDLE find = ::FindFirstFileA((std::string(temp) + "Orvane-*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do
        names.push_back(data.cFileName);
    while (::FindNextFileA(find, &data));
    ::FindClose(find);
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

// Each row: a command line on files present in both folders ("n" in
// System32, "w" in SysWOW64), maybe one of them held, then what each folder
// and the queue hold, and after a restart.
TEST(Wow64, TheFileNamedIsTheFileChanged)
{
    enum EHeld
    {
        NotHeld,
        NativeHeld, // the System32 file, by a 64-bit program
        WowHeld,    // the SysWOW64 file, by a 32-bit program
    };
    const struct
    {
        const char* name;
        const char* args; // %s: the System32 folder, %w: the Windows folder, %d: a scratch folder
        EHeld held;
        std::vector<std::string> native;
        std::vector<std::string> scratch;
        bool queued;      // the System32 file waits for the restart, which deletes it
    } rows[] = {
        {"delete", "%s\\a.dll", NotHeld, {}, {"new.dll=new"}, false},
        {"Sysnative", "%w\\Sysnative\\orvwow64\\a.dll", NotHeld, {}, {"new.dll=new"}, false},
        {"Sysnative, another spelling", "\\\\?\\%w\\SYSNATIVE\\ORVWOW64\\a.dll", NotHeld, {}, {"new.dll=new"},
         false},
        {"rename", "%s\\a.dll %s\\b.dll", NotHeld, {"b.dll=n"}, {"new.dll=new"}, false},
        {"replace", "%d\\new.dll %s\\a.dll", NotHeld, {"a.dll=new"}, {"new.dll=new"}, false},
        {"move out", "%s\\a.dll %d", NotHeld, {}, {"a.dll=n", "new.dll=new"}, false},
        {"held", "%s\\a.dll", NativeHeld, {"a.dll=n"}, {"new.dll=new"}, true},
        {"its SysWOW64 twin held", "%s\\a.dll", WowHeld, {}, {"new.dll=new"}, false},
    };
    const std::string holder32 = GetHelper32Path("orvholder.exe");
    ASSERT_TRUE(PathExists(holder32)) << holder32;
    for (const auto& row : rows)
    {
        SCOPED_TRACE(row.name);
        CEmptyPendingQueue queue;
        CScratchDir dir;
        CSystemTwins twins;
        const std::string native = twins.Native() + "\\a.dll";
        const std::string wow = twins.Wow() + "\\a.dll";
        ASSERT_TRUE(WriteFileBytes(native, "n"));
        ASSERT_TRUE(WriteFileBytes(wow, "w"));
        dir.File("new.dll", "new");

        SRunResult run;
        {
            std::unique_ptr<CHolder> holder;
            if (row.held != NotHeld)
            {
                holder = row.held == NativeHeld ? std::make_unique<CHolder>(CHolder::Open, native)
                                                : std::make_unique<CHolder>(CHolder::Open, wow, holder32);
                ASSERT_TRUE(holder->IsHolding());
            }
            run = RunOrvline(Expand(row.args, twins, dir.Path()));
        }
        EXPECT_TRUE(RunEnded(run, 0, kProcessed, ""));
        EXPECT_EQ(row.native, Files(twins.Native()));
        EXPECT_EQ(std::vector<std::string>{"a.dll=w"}, Files(twins.Wow()));
        EXPECT_EQ(row.scratch, Files(dir.Path()));
        if (row.queued)
        {
            EXPECT_EQ((std::vector<std::string>{NtPath(native), ""}), PendingUtf8());
            ASSERT_TRUE(RestartPrefix());
            EXPECT_EQ(std::vector<std::string>{}, Files(twins.Native()));
            EXPECT_EQ(std::vector<std::string>{"a.dll=w"}, Files(twins.Wow()));
        }
        else
        {
            EXPECT_EQ(std::vector<std::string>{}, PendingUtf8());
        }
    }
}

TEST(Wow64, HoldersOfBothKindsWithTheirExecutables)
{
    CEmptyPendingQueue queue;
    CScratchDir dir;
    const std::string dll64 = dir / "m64.dll";
    const std::string dll32 = dir / "m32.dll";
    ASSERT_TRUE(CopyFixtureDll(dll64));
    ASSERT_TRUE(::CopyFileA(GetHelper32Path("orvfixture.dll").c_str(), dll32.c_str(), FALSE))
        << GetHelper32Path("orvfixture.dll") << ": " << ::GetLastError();
    const std::string opened = dir.File("open.txt", "o");

    const std::string holder64 = GetBinPath("orvholder.exe");
    const std::string holder32 = GetHelper32Path("orvholder.exe");
    CHolder loads64(CHolder::Load, dll64);
    CHolder loads32(CHolder::Load, dll32, holder32);
    CHolder opens64(CHolder::Open, opened);
    ASSERT_TRUE(loads64.IsHolding() && loads32.IsHolding() && opens64.IsHolding());

    const SRunResult run = RunOrvline(Quote(dir.Path()) + " /holders");
    EXPECT_EQ(12u, run.exitCode) << run.err;
    EXPECT_EQ("", run.err);
    // "id<TAB>executable<TAB>how", the executable compared without case.
    std::vector<std::string> lines;
    std::istringstream stream(AfterBanner(run.out));
    for (std::string line; std::getline(stream, line);)
    {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const std::size_t first = line.find('\t');
        const std::size_t second = line.find('\t', first + 1);
        ASSERT_NE(std::string::npos, second) << line;
        const std::string image = line.substr(first + 1, second - first - 1);
        const std::string program = IsSameText(image, holder64) ? "64" : IsSameText(image, holder32) ? "32" : image;
        lines.push_back(line.substr(0, first) + "\t" + program + "\t" + line.substr(second + 1));
    }
    std::sort(lines.begin(), lines.end());
    std::vector<std::string> expected = {
        std::to_string(loads64.GetProcessId()) + "\t64\tcharge",
        std::to_string(loads32.GetProcessId()) + "\t32\tcharge",
        std::to_string(opens64.GetProcessId()) + "\t64\touvert",
    };
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, lines) << run.out;
}

TEST(Wow64, TheQueueAsTheRestartCarriesItOut)
{
    CEmptyPendingQueue queue;
    CSystemTwins twins;
    // Only the SysWOW64 twin of the first exists; both of the second.
    const std::string gone = twins.Native() + "\\q.dll";
    const std::string taken = twins.Native() + "\\p.dll";
    ASSERT_TRUE(WriteFileBytes(twins.Wow() + "\\q.dll", "w"));
    ASSERT_TRUE(WriteFileBytes(taken, "n"));
    ASSERT_TRUE(WriteFileBytes(twins.Wow() + "\\p.dll", "w"));
    ASSERT_TRUE(WritePendingUtf8(REG_MULTI_SZ, {NtPath(gone), "", NtPath(taken), ""}));

    EXPECT_TRUE(RunEnded(RunOrvline("/queue"), 0,
                         "Supprimer " + gone + " (source absente)\r\nSupprimer " + taken + "\r\n", ""));
    EXPECT_TRUE(RunEnded(RunOrvline("/pending"), 0, std::string(kGathering) + kProcessed, ""));
    EXPECT_EQ(std::vector<std::string>{}, Files(twins.Native()));
    EXPECT_EQ((std::vector<std::string>{"p.dll=w", "q.dll=w"}), Files(twins.Wow()));
    // What it could not do waits for the restart, as it stood.
    EXPECT_EQ((std::vector<std::string>{NtPath(gone), ""}), PendingUtf8());
}

TEST(Wow64, TheReportBesideTheProgramAndNothingLeftBehind)
{
    CEmptyPendingQueue queue;
    CScratchDir dir;
    const std::string file = dir.File("reported.txt", "r");
    const std::string report = GetBinPath("orvline.txt");
    const std::size_t reportBefore = ReadFileBytes(report).size();

    // A run killed before it could clean up left its folder (its process
    // has ended, its id is free); a running one's stays.
    char temp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, temp);
    PROCESS_INFORMATION process = {};
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    char commandLine[] = "cmd.exe /c exit 0";
    ASSERT_TRUE(StartProcess(nullptr, commandLine, FALSE, CREATE_NO_WINDOW, nullptr,
                                 nullptr, &startup, &process));
    ::WaitForSingleObject(process.hProcess, INFINITE);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    const std::string stale = FormatRunFolderName(process.dwProcessId, 0);
    const std::string live = FormatRunFolderName(::GetCurrentProcessId(), 7);
    for (const std::string& name : {stale, live})
    {
        ASSERT_TRUE(::CreateDirectoryA((temp + name).c_str(), nullptr)) << name;
        ASSERT_TRUE(WriteFileBytes(std::string(temp) + name + "\\orvline.exe", "x"));
    }

    EXPECT_TRUE(RunEnded(RunOrvline(Quote(file) + " /log"), 0,
                         "Traitement...\r\nEcriture du rapport...\r\nFait.\r\n", ""));
    EXPECT_FALSE(PathExists(file));
    const std::string tail = ReadFileBytes(report).substr(reportBefore);
    EXPECT_NE(std::string::npos, tail.find(file)) << tail;
    EXPECT_EQ(std::vector<std::string>{live}, RunFolders());
    RemoveTree(temp + live);
}

TEST(Wow64, WithoutItsTemporaryFolderNothingIsDone)
{
    CEmptyPendingQueue queue;
    CScratchDir dir;
    const std::string file = dir.File("kept.txt", "k");
    const std::string missing = dir / "no-such-folder";
    // This environment, with both temporary folders named missing.
    std::string environment;
    char* strings = ::GetEnvironmentStringsA();
    for (const char* entry = strings; *entry; entry += std::strlen(entry) + 1)
    {
        if (_strnicmp(entry, "TMP=", 4) != 0 && _strnicmp(entry, "TEMP=", 5) != 0)
            environment.append(entry).push_back('\0');
    }
    ::FreeEnvironmentStringsA(strings);
    for (const char* name : {"TMP=", "TEMP="})
        environment.append(name + missing).push_back('\0');
    environment.push_back('\0');
    const SRunResult run = RunProgram(Quote(GetBinPath("orvline.exe")) + " " + Quote(file), 120000, nullptr,
                                      environment.data());

    EXPECT_EQ(1u, run.exitCode);
    EXPECT_EQ("", run.out);
    EXPECT_EQ(FailureLine("Echec de l'initialisation", ERROR_PATH_NOT_FOUND), run.err);
    EXPECT_TRUE(PathExists(file));
    EXPECT_EQ("", PendingQueueBytes());
    EXPECT_FALSE(PathExists(missing));
}
