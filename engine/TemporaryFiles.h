// The temporary files of the replacements. A replacement writes its copy
// under a name of ours, "~orvXXXX.tmp" (four hexadecimal digits: also a
// short 8.3 name), in the target's folder, and renames it onto the target at
// once or at the restart; on 9x/Me, which cannot rename onto a file, the old
// file steps aside first under its own name followed by ".~orv". A run ended
// in between (a kill, a power cut) leaves such a file behind: the next run
// that works in that folder removes it, unless the restart queue names it (a
// deferred replacement waiting for the restart), and an old file that
// stepped aside for a new one that never took its name takes it back.
#pragma once

#include <string>

// A new, empty file of such a name in the folder, and its path; false with
// the last error.
bool CreateTemporaryFile(const std::string& folder, std::string& path);

// True for a name of ours, of a copy or of a file that stepped aside (the
// last component of a path, any letter case).
bool IsTemporaryName(const char* name);

// The name under which the file steps aside: its own path and ".~orv".
// False (ERROR_FILENAME_EXCED_RANGE) when that does not fit a path.
bool GetAsidePath(const std::string& path, std::string& aside);

// Removes a temporary file whatever attributes it has; the last error stays
// that of the failure being reported.
void RemoveTemporaryFile(const std::string& path);

// Removes the folder's temporary files of ours that the restart queue (the
// registry value or wininit.ini) does not name; a file that stepped aside
// goes back to its name when that is free. A file that cannot go (in use by
// a replacement under way) stays: nothing is ever queued for it.
void RemoveStaleTemporaryFiles(const std::string& folder);
