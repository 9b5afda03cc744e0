// Queues a move or a deletion for the next restart of the machine.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

// existing: the file or folder; newPath: null or empty for a deletion.
// True when the operation is queued; otherwise false with the last error.
bool MoveFileOnReboot(const char* existing, const char* newPath);

// The WinInit.Ini writer used on Windows 9x/Me, where the system does not
// queue delayed moves itself.
bool AddWinInitRename(const char* existing, const char* newPath);

// The text "left=right\r\n" for one [Rename] line. Sides are taken as they
// are; the caller chooses short or long forms.
std::string MakeWinInitLine(const std::string& left, const std::string& right);

// Header of the [Rename] section, with its line end.
constexpr char kRenameHeader[] = "[Rename]\r\n";
constexpr std::size_t kRenameHeaderLength = sizeof(kRenameHeader) - 1;

// Room that InsertWinInitLine may need beyond the old end of the file.
std::size_t WinInitGrowthLimit(std::size_t lineLength);

// Inserts `line` as the last line of the [Rename] section of the `size`
// bytes in `text`, which must have WinInitGrowthLimit(line length) bytes of
// room after them. Returns the new length.
std::size_t InsertWinInitLine(char* text, std::size_t size, const std::string& line);
