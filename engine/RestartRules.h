// What the restart can carry out. A move queued for the restart that the
// system cannot do then is lost without a word, or worse (a folder queued
// over a file replaces it): such a move is refused before it is queued, with
// the reason an attempt at once gives.
#pragma once

#include <windows.h>

#include <string>

// 0 when the move of `existing` to `newPath` (full paths) can wait for the
// restart; otherwise the error code of the first rule it breaks:
//   ERROR_FILENAME_EXCED_RANGE  a component of the new path is longer than a name may be;
//   ERROR_INVALID_NAME          the new name is not one plain name;
//   ERROR_PATH_NOT_FOUND        the new path's folder does not exist;
//   ERROR_ALREADY_EXISTS        a folder onto anything that exists (a folder never overwrites);
//   ERROR_ACCESS_DENIED         a file onto a folder;
//   ERROR_INVALID_PARAMETER     a folder into itself or below itself.
DWORD CheckDelayedMove(const std::string& existing, const std::string& newPath);
