// A file replaced by another without ever being damaged.
#pragma once

#include <string>

// Puts a copy of `source` in place of the file `destination` (which need not
// exist). The copy is written under a temporary name in the destination's
// folder and takes the destination's place only once complete; on any
// failure the destination is as it was and the temporary file is gone.
// False with the last error of the step that failed; a folder is never
// replaced (ERROR_ACCESS_DENIED).
bool ReplaceWithCopy(const std::string& source, const std::string& destination);

// Moves `source` onto `destination`, replacing it if it exists: a rename,
// never a copy that leaves its source behind. On 9x/Me, which has no
// replacing move, the old destination steps aside first and comes back when
// the move fails. False with the last error of the step that failed.
bool MoveReplacing(const std::string& source, const std::string& destination);
