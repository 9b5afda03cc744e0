// The temporary files of the replacements. A replacement writes its copy
// under a name of ours, "~orvXXXX.tmp" (four hexadecimal digits: also a
// short 8.3 name), in the target's folder, and renames it onto the target at
// once or at the restart; on 9x/Me the old file steps aside under such a
// name too. A run ended in between (a kill, a power cut) leaves the file
// behind: the next run that works in that folder removes it, unless the
// restart queue names it (a deferred replacement waiting for the restart).
#pragma once

#include <string>

// A new, empty file of such a name in the folder, and its path; false with
// the last error.
bool CreateTemporaryFile(const std::string& folder, std::string& path);

// True for such a name (the last component of a path, any letter case).
bool IsTemporaryName(const char* name);

// Removes a temporary file whatever attributes it has; the last error stays
// that of the failure being reported.
void RemoveTemporaryFile(const std::string& path);

// Removes the folder's temporary files of ours that the restart queue (the
// registry value or wininit.ini) does not name. A file that cannot go (in
// use by a replacement under way) stays: nothing is ever queued for it.
void RemoveStaleTemporaryFiles(const std::string& folder);
