// What a path names, whatever its spelling ("\\?\", short names, another
// letter for the same drive, links, "." and "..", trailing separators or
// dots, letter case): the one guard both programs ask before they act on a
// path they were given. On the NT family an object is known by the volume
// and file index of the object the path opens; on Windows 9x/Me by its long
// path.
#pragma once

#include <string>

// One spelling per path: no "\\?\" prefix, long names, no "." or "..", no
// trailing separator. A part that does not exist is kept as written.
std::string GetCanonicalPath(const std::string& fullPath);

// True when both full paths name the same object. Paths that name nothing
// yet are the same when their folders are the same object and their names
// the same text.
bool IsSameObject(const std::string& a, const std::string& b);

// True when the path is `folder` or lies below it: some folder on the way
// up from the path is the same object as `folder`.
bool LiesWithin(const std::string& path, const std::string& folder);

// True when both paths lie on the same volume (for a path that does not
// exist, its nearest folder that does).
bool IsSameVolume(const std::string& a, const std::string& b);

// A drive root, the Windows folder or the system folder, or a folder that
// holds one of them: never the source of a deletion or a move.
bool HoldsSystemFolder(const std::string& path);

// This program's current folder or a folder that holds it ("." and ".."
// are typed in a moment), or the folder last current on the path's drive
// ("D:") or one holding it: never the source of a deletion or a move. True
// too when the current folder cannot be read.
bool HoldsCurrentFolder(const std::string& path);

// True when the text is one component that names the entry it reads as
// and no other: not empty, "." or "..", at most 255 characters, no control
// character and none of \ / : * ? " < > |, and no trailing dot or blank
// (which the system would drop).
bool IsPlainName(const std::string& name);

// The full path with "System32" for the component "Sysnative" that follows
// the Windows folder (by any spelling): how a 32-bit program on 64-bit
// Windows names the real system folder, which a 64-bit program names
// System32. Other paths, and every path in a 32-bit build, unchanged.
std::string ResolveSysnative(const std::string& fullPath);

// The path of the object that an existing path opens, as the system names
// it once links and other letters for the same drive are followed (the same
// text for every spelling of one folder): NT family only; empty when it
// cannot tell (9x/Me, an object that cannot be opened). Systems before
// Windows Vista cannot name an object from its handle: there the drive letter
// alone is followed, to the first letter whose root is the same object.
std::string GetFinalPath(const std::string& path);
