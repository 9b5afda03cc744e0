// Rules of the restart queue's two formats, over bytes and text only: the
// registry value's string pairs and the [rename] section of wininit.ini.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

// One queued operation as stored: the object, then its new path (empty for
// a deletion).
using PendingPair = std::pair<std::string, std::string>;

// Drops the "\??\" (or "!\??\") prefix: the text starts one byte before its
// first ':' when that ':' is not the first byte; otherwise it stays whole.
std::string StripQueuePrefix(const std::string& text);

// The pairs of a PendingFileRenameOperations value (REG_MULTI_SZ or
// REG_BINARY, read through the ANSI interface), prefixes removed. Reads no
// byte at or after `size`: an empty string or the end of the data ends the
// walk, a source without a target string is dropped, and a target that the
// data cuts off ends at the last byte.
std::vector<PendingPair> ParsePendingValue(const char* bytes, std::size_t size);

// Removes blanks at both ends (a DBCS trail byte is never taken for one).
std::string TrimBlanks(const std::string& text);

// The (source, target) pairs of the first [rename] section of a wininit.ini
// text (lines end with "\n", a "\r" before it is a blank). "NUL" and
// "DIRNUL" targets become empty; lines without '=' or with an empty source
// are left out. Reading stops at the next section.
std::vector<PendingPair> ParseWinInitRename(const std::string& text);
