// The code pages behind the narrow strings: the process's own ANSI code
// page, which the manifests set to UTF-8 where the system honours the entry
// (Windows 10 version 1903 and later), and the system's own ANSI and OEM
// code pages, in which the console's bytes and the report stay wherever the
// names allow it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// True when the narrow calls of this process take and give UTF-8.
bool IsUtf8Process();

// The system's own code pages, which the entry of the manifest leaves as
// they are: the registry's (the key CodePage of
// HKLM\SYSTEM\CurrentControlSet\Control\Nls), else the system locale's.
// Without that entry, the process's.
UINT GetSystemAnsiCodePage();
UINT GetSystemOemCodePage();

// Reads a code page value of the registry ("1252"): digits only, a code
// page the system has; 0 otherwise.
UINT ParseCodePageValue(const std::string& value);

// The text in a code page (CP_ACP: the process's own, UTF-8 included) when
// every character of it has its own form there: true. Otherwise false, with
// '?' for each character the code page lacks, never a look-alike ("best
// fit" would turn a fullwidth "\" into a path separator); UTF-8 lacks only
// the halves of a surrogate pair that stand alone.
bool ToCodePageExactly(const std::wstring& text, UINT codePage, std::string& bytes);

// The text in a code page, a character that it lacks taking the nearest one
// it has, as the narrow calls and CharToOemBuffA give it.
std::string ToCodePage(const std::wstring& text, UINT codePage);

// The UTF-16 form of text in a code page.
std::wstring FromCodePage(const std::string& text, UINT codePage);

// True when every one of the names converts to the code page exactly.
bool FitCodePage(const std::vector<std::wstring>& names, UINT codePage);

// The bytes of a text for a stream or a file kept in a code page of the
// system: in that code page when each of `names` (file names, paths that
// the text holds) converts to it exactly, the other characters as
// ToCodePage gives them, so that no name reaches it changed; otherwise the
// whole text in UTF-8. `utf8` tells which.
std::string EncodeNamedText(const std::wstring& text, const std::vector<std::wstring>& names,
                            UINT codePage, bool& utf8);
