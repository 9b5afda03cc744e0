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

// One pair of a PendingFileRenameOperations value as the system stores it
// (UTF-16), with the characters [begin, end) it takes in the value: both
// strings and their terminators.
struct SPendingEntry
{
    std::wstring source;
    std::wstring target;
    std::size_t begin = 0;
    std::size_t end = 0;
};

// The pairs of a value of `count` UTF-16 characters. Reads no character at
// or after `count`: an empty string or the end of the data ends the walk, a
// source without a target string is dropped, and a target that the data
// cuts off ends at the last character.
std::vector<SPendingEntry> ParsePendingEntries(const wchar_t* text, std::size_t count);

// A queued path's text without the "!" of a replacing target (`replace`
// tells whether it was there; only with `allowReplace`) and without "\??\":
// what a listing shows and the take-over compares, also for a form that
// ReadQueuePath refuses.
std::wstring StripQueueMarks(const std::wstring& text, bool allowReplace, bool& replace);

// A queued path that the system would carry out as it is written: "\??\"
// and a full drive path below the root ("C:\dir\f.dll"), without "." or ".."
// components or empty ones. `allowReplace` accepts the "!" of a target.
// Gives the path in the ANSI code page, and whether the "!" was there;
// false for anything else (UNC forms, devices, a drive root, text that the
// ANSI code page cannot hold or that does not fit a path buffer).
bool ReadQueuePath(const std::wstring& text, bool allowReplace, std::string& path,
                   bool& replace);

// True for a full drive path below the root in the ANSI code page, without
// "." or ".." components or empty ones, that fits a path buffer.
bool IsFullDrivePath(const std::string& path);

// One entry line of the first [rename] section of a wininit.ini text: the
// pair ("NUL" and "DIRNUL" targets made empty) and the bytes [begin, end)
// of the line, its line end included. A line whose left side is empty
// ("=C:\q\b") is no deletion: the restart leaves it alone (`inert`).
struct SWinInitEntry
{
    std::string source;
    std::string target;
    std::size_t begin = 0;
    std::size_t end = 0;
    bool inert = false;
};

// The entry lines of the first [rename] section of a wininit.ini text
// (lines end with "\n"; a "\r" before it is a blank). Lines without '=' or
// with an empty source are left out. Reading stops at the next section.
std::vector<SWinInitEntry> ParseWinInitEntries(const std::string& text);

// The entries that the restart carries out, as (source, target) pairs.
std::vector<PendingPair> ParseWinInitRename(const std::string& text);

// The bytes of an entry's line without its line end ("\r\n" or "\n").
std::string WinInitLineText(const std::string& text, std::size_t begin, std::size_t end);

// The text with the entries whose line (without its line end) matches one
// of `lines` turned into comments in place: the line's first byte and each
// of its "=" become ";", so that no reader of the file takes it for an entry
// any more. Each of `lines` marks at most one entry, the first one left that
// matches. The text keeps its length and every other byte: a write of it cut
// short anywhere leaves whole entries or comments, never a line of another
// meaning.
std::string MarkWinInitLines(const std::string& text, std::vector<std::string> lines);

// The same for a queue value: the entries whose characters match one of
// `entries` are cut out, one each; every other character stays.
std::wstring RemovePendingEntries(const std::wstring& value, std::vector<std::wstring> entries);
