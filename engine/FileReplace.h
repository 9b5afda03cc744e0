// A file replaced by a copy of another without ever being damaged.
#pragma once

#include <string>

// Puts a copy of `source` in place of the file `destination` (which need not
// exist). The copy is written under a temporary name in the destination's
// folder and takes the destination's place only once complete; on any
// failure the destination is as it was and the temporary file is gone.
// False with the last error of the step that failed; a folder is never
// replaced (ERROR_ACCESS_DENIED).
bool ReplaceWithCopy(const std::string& source, const std::string& destination);
