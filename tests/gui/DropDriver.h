// Drops from the shell, played by the test: a data object holding the bytes
// of one clipboard format, dragged over a window of the wizard and dropped
// there through OLE, as the file manager does.
#pragma once

#include <windows.h>
#include <ole2.h>

#include <string>
#include <vector>

// A CF_HDROP block (DROPFILES with narrow names, or wide ones as the file
// manager of the NT family writes them) of the paths.
std::string MakeDropFiles(const std::vector<std::string>& paths, bool wide = false);

// A "Shell IDList Array" block of the paths, which share one folder: the
// folder's item-ID list, then each item's list relative to it.
std::string MakeIdListArray(const std::vector<std::string>& paths);

// The format registered under the shell's name.
CLIPFORMAT IdListArrayFormat();

// Drags a data object holding the bytes in the format onto the window (its
// centre) and drops it. True when the drop was accepted. The calling thread
// must have initialised OLE.
bool DropOnWindow(HWND target, CLIPFORMAT format, const std::string& bytes);
