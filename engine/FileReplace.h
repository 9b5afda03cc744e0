// A file replaced by another without ever being damaged.
#pragma once

#include <string>

// A complete copy of `source` in the folder of `destination`, under a
// temporary name of ours (engine/TemporaryFiles), written to the disk, with
// the attributes of `destination` and, on the NT family, its security when
// it exists (as the system's own file replacement keeps them), and its path
// in `copy`. On failure nothing is left, with the last error of the step that
// failed (a full disk: ERROR_DISK_FULL).
bool CopyBeside(const std::string& source, const std::string& destination, std::string& copy);

// Moves the copy that CopyBeside made onto `destination` (MoveReplacing; a
// read-only destination gives way). On failure `destination` is as it was
// and the copy stays, with the last error.
bool PutCopyInPlace(const std::string& copy, const std::string& destination);

// Puts a copy of `source` in place of the file `destination` (which need not
// exist): CopyBeside, then PutCopyInPlace. On any failure the destination is
// as it was and the temporary file is gone. False with the last error of the
// step that failed; a folder is never replaced (ERROR_ACCESS_DENIED).
bool ReplaceWithCopy(const std::string& source, const std::string& destination);

// Moves `source` onto `destination`, replacing it if it exists: a rename,
// never a copy that leaves its source behind. On 9x/Me, which has no
// replacing move, the old destination steps aside first and comes back when
// the move fails. False with the last error of the step that failed.
bool MoveReplacing(const std::string& source, const std::string& destination);
