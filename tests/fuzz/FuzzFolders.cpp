#include "tests/fuzz/FuzzFolders.h"

#include "engine/Handles.h"

#include <cctype>

namespace
{

// What the current folder holds before each line (a trailing "\" makes a
// folder); the names around it are in the throwaway folder.
const char* const kCurrentEntries[] = {
    "a.txt", "b.txt", "long name.txt", "UPPER.TXT", "\xE9t\xE9.txt", "ro.txt", "hidden.txt",
    "sub\\", "sub\\c.txt", "sub\\deep\\", "sub\\deep\\d.txt", "empty\\",
};
const char* const kBoxEntries[] = {"other.txt", "peer\\", "peer\\p.txt"};
const char* const kCanaryEntries[] = {"keep.txt", "inner\\", "inner\\k.txt"};

void MakeEntries(const std::string& folder, const char* const* names, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i)
    {
        const std::string name = names[i];
        const std::string path = folder + "\\" + name;
        if (name.back() == '\\')
            ::CreateDirectoryA(path.substr(0, path.size() - 1).c_str(), nullptr);
        else
            WriteFileBytes(path, "bytes of " + name);
    }
}

template <std::size_t N>
void MakeEntries(const std::string& folder, const char* const (&names)[N])
{
    MakeEntries(folder, names, N);
}

// Everything below the folder goes, the folder itself stays.
void EmptyFolder(const std::string& folder)
{
    WIN32_FIND_DATAA data = {};
    CFindHandle find(::FindFirstFileA((folder + "\\*").c_str(), &data));
    for (bool more = find.IsValid(); more; more = ::FindNextFileA(find.Get(), &data) != FALSE)
    {
        const std::string name = data.cFileName;
        if (name != "." && name != "..")
            RemoveTree(folder + "\\" + name);
    }
}

void ReadTreeInto(const std::string& root, const std::string& prefix, CTree& tree)
{
    WIN32_FIND_DATAA data = {};
    CFindHandle find(::FindFirstFileA((root + "\\*").c_str(), &data));
    for (bool more = find.IsValid(); more; more = ::FindNextFileA(find.Get(), &data) != FALSE)
    {
        const std::string name = data.cFileName;
        if (name == "." || name == "..")
            continue;
        const std::string path = root + "\\" + name;
        STreeEntry& entry = tree[prefix + name];
        entry.folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        entry.attributes = data.dwFileAttributes;
        ReadIdentity(path, entry.identity);
        if (entry.folder)
            ReadTreeInto(path, prefix + name + "\\", tree);
        else
            entry.bytes = ReadFileBytes(path);
    }
}

std::string FlipCase(CFuzzInput& input, std::string text)
{
    for (char& c : text)
    {
        if (std::isalpha(static_cast<unsigned char>(c)) && input.OneIn(3))
            c = static_cast<char>(std::isupper(static_cast<unsigned char>(c)) ? std::tolower(c) : std::toupper(c));
    }
    return text;
}

} // namespace

bool ReadIdentity(const std::string& path, SObjectIdentity& identity)
{
    if (path.compare(0, 4, "\\\\.\\") == 0)
        return false;
    CFileHandle file(::CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION information = {};
    if (!file || !::GetFileInformationByHandle(file.Get(), &information))
        return false;
    identity.volume = information.dwVolumeSerialNumber;
    identity.high = information.nFileIndexHigh;
    identity.low = information.nFileIndexLow;
    return true;
}

CTree ReadTree(const std::string& root)
{
    CTree tree;
    ReadTreeInto(root, "", tree);
    return tree;
}

CFuzzFolders::CFuzzFolders()
    : m_box(m_root / "throwaway"), m_current(m_box + "\\cur"), m_canary(m_root / "canary")
{
    std::string unix = UnixPath(m_root.Path());
    for (char& c : unix)
    {
        if (c == '/')
            c = '\\';
    }
    m_unixRoot = "Z:" + unix;
    Fill();
    char shortBox[MAX_PATH] = {};
    const DWORD length = ::GetShortPathNameA(m_box.c_str(), shortBox, MAX_PATH);
    m_shortBox = length > 0 && length < MAX_PATH ? shortBox : m_box;
}

void CFuzzFolders::Fill() const
{
    ::CreateDirectoryA(m_box.c_str(), nullptr);
    ::CreateDirectoryA(m_current.c_str(), nullptr);
    // What a line left anywhere in the scratch folder goes, the current
    // folder and the one around it stay (a process stands in them).
    WIN32_FIND_DATAA data = {};
    CFindHandle find(::FindFirstFileA((Root() + "\\*").c_str(), &data));
    for (bool more = find.IsValid(); more; more = ::FindNextFileA(find.Get(), &data) != FALSE)
    {
        const std::string name = data.cFileName;
        if (name != "." && name != ".." && name != "throwaway")
            RemoveTree(Root() + "\\" + name);
    }
    EmptyFolder(m_box);
    ::CreateDirectoryA(m_current.c_str(), nullptr);
    EmptyFolder(m_current);
    ::CreateDirectoryA(m_canary.c_str(), nullptr);
    MakeEntries(m_current, kCurrentEntries);
    MakeEntries(m_box, kBoxEntries);
    MakeEntries(m_canary, kCanaryEntries);
    ::SetFileAttributesA((m_current + "\\ro.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    ::SetFileAttributesA((m_current + "\\hidden.txt").c_str(), FILE_ATTRIBUTE_HIDDEN);
}

std::string CFuzzFolders::Spelling(CFuzzInput& input, bool source) const
{
    // Relative to the current folder: what it holds, what is not there,
    // devices, streams, wildcards, odd forms of names.
    static const char* const kRelative[] = {
        "a.txt", "b.txt", "long name.txt", "sub", "sub\\c.txt", "sub\\deep", "sub\\deep\\d.txt", "empty",
        "ro.txt", "hidden.txt", "UPPER.TXT", "\xE9t\xE9.txt", "..\\other.txt", "..\\peer", "..\\peer\\p.txt",
        "....", "new.txt", "sub\\new.txt",
        "..\\new.txt", "nope\\x.txt", "..\\..\\fresh.txt", "new", "COM1", "nul", "aux:", "CON.txt", "sub\\prn",
        "\\\\.\\NUL", "\\\\.\\C:", "LPT1.log", "conin$", "com9 .txt", "a.txt:s", "a.txt::$DATA", "sub:x", ":x",
        "*", "*.txt", "a?.txt", "sub\\*", "..\\*", "a.txt.", "a.txt ", "a.txt. . ", " a.txt", "sub/c.txt",
        "sub\\\\c.txt", "sub\\.\\c.txt", "C:a.txt", "C:sub", "a\"b",
    };
    // The current folder and the folders above it, as a user types them.
    static const char* const kUpward[] = {
        ".", "..", "..\\..", "..\\..\\..", "..\\.", ".\\", "..\\cur", "sub\\..", "sub\\..\\..",
        "sub\\..\\..\\..", "...", ". ", ".. ", "./..", "..//..", "..\\..\\..\\..\\..", "C:", "C:.", "C:..",
        "c:..\\..",
    };
    // The system's folders, and folders that hold the current one.
    static const char* const kSystem[] = {
        "C:\\", "\\", "/", "C:\\windows", "C:\\WINDOWS\\system32", "C:\\windows\\.", "C:\\windows\\system32\\..",
        "\\windows", "C:\\windows\\sysnative", "C:\\windows\\SYSTEM32\\", "\\\\?\\C:\\windows", "Z:\\",
        "C:\\orvtest", "\\orvtest", "c:\\orvtest\\.",
    };
    std::string path;
    switch (input.Below(10))
    {
    case 0:
        if (source)
        {
            path = input.Pick(kSystem);
            break;
        }
        // fall through
    case 1:
        path = input.Pick(kUpward);
        break;
    case 2:
        // The folders above more often where they do harm.
        if (source)
        {
            path = input.Pick(kUpward);
            break;
        }
        // fall through
    case 3:
    case 4:
        path = input.Pick(kRelative);
        break;
    case 5:
    {
        // A long name, or a path longer than a path buffer.
        const std::size_t length = input.OneIn(2) ? 250 + input.Below(10) : 300;
        path = std::string(input.OneIn(2) ? "" : "sub\\") + std::string(length, 'L');
        if (input.OneIn(3))
            path = path + "\\" + path;
        break;
    }
    default:
    {
        // Absolute: by its drive path, through Z:, "\\?\", without the
        // drive, or with a short name on the way.
        static const char* const kTails[] = {"", "\\a.txt", "\\sub", "\\sub\\c.txt", "\\..", "\\.", "\\new.txt",
                                             "\\long name.txt", "\\..\\other.txt"};
        const std::string folders[] = {m_current, m_box, Root(), m_current, m_box + "\\peer"};
        std::string full = input.Pick(folders) + input.Pick(kTails);
        switch (input.Below(6))
        {
        case 0:
            full = m_unixRoot + full.substr(Root().size());
            break;
        case 1:
            full = "\\\\?\\" + full;
            break;
        case 2:
            full = full.substr(2);
            break;
        case 3:
        {
            if (full.compare(0, m_box.size(), m_box) == 0)
                full = m_shortBox + full.substr(m_box.size());
            break;
        }
        default:
            break;
        }
        path = full;
        break;
    }
    }
    path = FlipCase(input, path);
    if (input.OneIn(8))
    {
        for (char& c : path)
        {
            if (c == '\\' && input.OneIn(2))
                c = '/';
        }
    }
    if (input.OneIn(8))
    {
        static const char* const kEnds[] = {"\\", ".", " ", "\\.", "\\..", "\\\\", "::$DATA"};
        path += input.Pick(kEnds);
    }
    return path;
}
