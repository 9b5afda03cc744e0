// Path rules of the wizard's pages, free of any window: full paths, names,
// joins, extensions, roots and the version line.
#pragma once

#include <windows.h>

#include <string>

// A drive and its root ("C:\x", "C:/x") or a UNC path ("\\server\share",
// "\\?\C:\x"): nothing of it is read against a current folder, which the
// wizard's user does not see. A device path ("\\.\x") is none.
bool IsFullPath(const std::string& path);

// The last component of the path (the whole text when it has no folder).
std::string GetLastComponent(const std::string& path);

// The path without the backslashes that end it.
std::string RemoveTrailingBackslashes(std::string path);

// The folder of the path: the path without its last component.
std::string GetParentFolder(const std::string& path);

// The folder joined with a name in a MAX_PATH buffer; false, and `joined`
// empty, when the result would not fit.
bool JoinPath(const std::string& folder, const std::string& name, std::string& joined);

// The parts from the last dot of the last components are equal without
// case; no extension equals no extension.
bool HaveSameExtension(const std::string& a, const std::string& b);

// Both paths start with the same drive or share, letter case aside.
bool HaveSameRoot(const std::string& a, const std::string& b);

// "major.minor.build.revision" of a file version.
std::string FormatFileVersion(DWORD fileVersionMS, DWORD fileVersionLS);
