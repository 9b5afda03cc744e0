// Queues a move or a deletion for the next restart of the machine.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

// existing: the file or folder; newPath: null or empty for a deletion.
// replaceExisting: whether an existing new path may be overwritten at the
// restart. True when the operation is queued; otherwise false with the last
// error. What the restart could never carry out is refused: a move onto
// another drive (ERROR_NOT_SAME_DEVICE) and, in WinInit.Ini, a new path
// holding "=" (ERROR_INVALID_NAME).
bool MoveFileOnReboot(const char* existing, const char* newPath, bool replaceExisting = true);

// The WinInit.Ini writer used on Windows 9x/Me, where the system does not
// queue delayed moves itself.
bool AddWinInitRename(const char* existing, const char* newPath);

// Where the [Rename] section lies in the `size` bytes of a WinInit.Ini text,
// as the writer and the reader both see it. The text ends at its first
// Ctrl-Z (end-of-text mark), if any. The header is a line holding
// "[Rename]" in any letter case, with blanks around it, a ";" comment after
// it, and on the first line a UTF-8 byte-order mark before it; every other
// line whose first character other than a blank is "[" starts another
// section. A zero byte ends a line's text.
struct SRenameSection
{
    std::size_t textEnd = 0;                // the Ctrl-Z, or size
    std::size_t body = std::string::npos;   // the first line after the header; npos: no section
    std::size_t bodyEnd = std::string::npos; // the next section's line, or textEnd
};
SRenameSection FindRenameSection(const char* text, std::size_t size);

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
