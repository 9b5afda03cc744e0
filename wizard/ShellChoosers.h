// The shell's choosers that the pages open: the open-file dialog and the
// folder browser. Each answers false, and leaves the path alone, when the
// user cancels.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <string>

// An existing file, with the filter of the string table ("Tous les
// fichiers (*.*)|*.*||").
bool ChooseOpenFile(HWND owner, std::string& path);

// A folder of the file system.
bool ChooseFolder(HWND owner, std::string& path);

// The file-system path of a shell item, whole and as the file system names
// it: false for an object outside the file system, and for a name that the
// code page cannot hold exactly (the narrow call would cut a long path
// short, or put "?" and look-alikes in it).
bool GetItemListPath(LPCITEMIDLIST list, std::string& path);

// The filter text of the string table in the form the open-file dialog
// reads: '|' separators become terminators, and the list ends with two.
std::string MakeFileFilter(const std::string& text);
