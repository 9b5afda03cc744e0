// The object a command-line path names: a spelling that names it once, and
// the folders no operation may take as its source.
#pragma once

#include <string>

// One spelling per object: long names, no "." or "..", no trailing
// separator. A part that does not exist is kept as written.
std::string GetCanonicalPath(const std::string& fullPath);

// True when both full paths name the same object, whatever their spelling
// (letter case, short names, trailing separators).
bool IsSameObject(const std::string& a, const std::string& b);

// A drive root, the Windows folder or the system folder.
bool IsSystemFolder(const std::string& fullPath);
