// The entries of one folder, each with a name by which the ANSI calls reach
// that entry and no other. The ANSI listing turns a name that the code page
// cannot hold into a look-alike (fullwidth dots and backslash read as
// "..\x", a path outside the folder): on the NT family the folder is listed
// with the wide calls and a name is used only when it reads back exactly.
#pragma once

#include "engine/Handles.h"

#include <windows.h>

#include <string>

struct SFolderEntry
{
    // One plain component that names the entry (its short name when its own
    // name will not do); empty when the entry has no such name.
    std::string name;
    // Its short name as well, when that is another plain and exact one: a
    // long name of many bytes (UTF-8) may make a path too long for a path
    // buffer where the short one fits.
    std::string shortName;
    // The entry's own name as it reads, a '?' for each character that no
    // name may hold: what the report shows of an entry without a usable name.
    std::string shownName;
    DWORD attributes = 0;
};

class CFolderListing
{
public:
    // Starts listing; see IsOpen.
    explicit CFolderListing(const std::string& folder);
    virtual ~CFolderListing() = default;

    CFolderListing(const CFolderListing&) = delete;
    CFolderListing& operator=(const CFolderListing&) = delete;

    // False, with the last error, when the folder cannot be listed.
    bool IsOpen() const { return m_find.IsValid(); }
    // The next entry other than "." and ".."; false after the last one.
    bool Next(SFolderEntry& entry);

private:
    using FindNextWideProc = BOOL(WINAPI*)(HANDLE, LPWIN32_FIND_DATAW);

    CFindHandle m_find;
    FindNextWideProc m_findNextWide = nullptr;
    // An entry read and not yet handed out.
    bool m_pending = false;
    WIN32_FIND_DATAA m_data = {};
    WIN32_FIND_DATAW m_wideData = {};
};

// The name by which an entry is reached, chosen from its own name and its
// short name (each as the ANSI text and whether it reads back exactly):
// the first that is exact and plain; empty when neither is.
std::string ChooseEntryName(const std::string& name, bool nameExact, const std::string& shortName,
                            bool shortExact);

// The name with a '?' for each character that no name may hold.
std::string ShowName(const std::string& name);
