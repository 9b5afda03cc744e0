// The folders that orvline's generated command lines run in: a current
// folder inside a throwaway folder, a canary folder beside that, and the
// spellings a user could give for what lies in and around them. Windows
// only.
#pragma once

#include "tests/fuzz/Fuzz.h"
#include "tests/support/TestSupport.h"

#include <windows.h>

#include <map>
#include <string>

// An object as the file system knows it, whatever path named it.
struct SObjectIdentity
{
    DWORD volume = 0;
    DWORD high = 0;
    DWORD low = 0;
    bool operator==(const SObjectIdentity& other) const
    {
        return volume == other.volume && high == other.high && low == other.low;
    }
};

// False when the path names nothing that can be opened (devices are never
// opened).
bool ReadIdentity(const std::string& path, SObjectIdentity& identity);

// One entry of a tree: a folder, or a file and its bytes.
struct STreeEntry
{
    bool folder = false;
    std::string bytes;
    DWORD attributes = 0;
    SObjectIdentity identity;
};

// The tree below `root`, by path relative to it ("throwaway\cur\a.txt").
using CTree = std::map<std::string, STreeEntry>;
CTree ReadTree(const std::string& root);

// <scratch>\throwaway\cur is the current folder, <scratch>\throwaway the folder
// around it, <scratch>\canary the folder beside it that no command line
// names.
class CFuzzFolders
{
public:
    CFuzzFolders();

    const std::string& Root() const { return m_root.Path(); }
    const std::string& Box() const { return m_box; }
    const std::string& Current() const { return m_current; }
    const std::string& Canary() const { return m_canary; }

    // Every file and folder as each command line finds it, whatever the one
    // before did.
    void Fill() const;

    // A path as a command line could give it: relative or absolute, through
    // ".", "..", short names, another drive letter or "\\?\", a device, a
    // stream, a wildcard, a long or odd name. The system's own folders only
    // where `source` (as the object of the operation, never its target).
    std::string Spelling(CFuzzInput& input, bool source) const;

private:
    CScratchDir m_root;
    std::string m_box;
    std::string m_current;
    std::string m_canary;
    std::string m_unixRoot; // the scratch folder through Z:, Wine's Unix root
    std::string m_shortBox;
};
