// Text rules shared by both programs: ANSI strings (UTF-8 where the system
// honours the manifests' entry), bounded copies into Windows path buffers,
// multibyte-aware comparisons and string-table texts.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

// Copies text into a fixed buffer with its terminator. Returns false, and
// leaves an empty string in the buffer, when the text does not fit.
bool CopyToBuffer(const std::string& text, char* buffer, std::size_t size);

template <std::size_t N>
bool CopyToBuffer(const std::string& text, char (&buffer)[N])
{
    return CopyToBuffer(text, buffer, N);
}

// True when the text (plus its terminator) fits a MAX_PATH buffer.
bool FitsPath(const std::string& text);

// True when every byte is ASCII: the same text in every code page.
bool IsAscii(const std::string& text);

// Case-insensitive equality in the current multibyte code page; in UTF-8,
// the letters of every script fold as the file system folds names.
bool IsSameText(const std::string& a, const std::string& b);

// Case-insensitive equality of the first `bytes` bytes of both texts.
bool IsSameTextPrefix(const std::string& a, const std::string& b, std::size_t bytes);

// Case-insensitive equality of UTF-16 texts by the system's own table of
// upper-case letters, the one names are compared by (before Vista, where
// the system offers none: equal texts only).
bool IsSameWideText(const std::wstring& a, const std::wstring& b);

// Whether byte `index` of the text begins a character in the current code
// page by its DBCS lead bytes (a trail byte does not; in UTF-8 every byte
// does, as no lead byte is DBCS).
bool IsCharacterStart(const std::string& text, std::size_t index);

// The text without one trailing backslash that is not a trail byte; a lone
// backslash stays.
std::string WithoutTrailingBackslash(const std::string& path);

// Case-insensitive: the text begins with `prefix`.
bool StartsWithNoCase(const std::string& text, const char* prefix);

// Length of the character at `i` in the current code page: two bytes for a
// DBCS lead byte followed by a valid trail byte, two to four for a UTF-8
// sequence, otherwise one; never past the end.
std::size_t CharLength(const std::string& text, std::size_t i);

// The length of a name as the file system counts it (UTF-16 units), which
// it limits to 255.
std::size_t NameLength(const std::string& name);

// A blank, a tab or a line end (and vertical tab, form feed).
bool IsBlank(char c);

// Removes blanks, tabs and line ends at both ends (a DBCS trail byte is
// never taken for one).
std::string TrimBlanks(const std::string& text);

// printf-style formatting into a string of any length.
std::string FormatText(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// Text of a string-table entry of `module` (null: the running program),
// converted from UTF-16 to the ANSI code page; empty when the id is missing.
std::string LoadResourceText(UINT id, HMODULE module = nullptr);

// The UTF-16 form of an ANSI text, and back.
std::wstring AnsiToWide(const std::string& text);
std::string WideToAnsi(const wchar_t* text, int length = -1);
// The ANSI form of a UTF-16 text when the code page holds every character of
// it as it is (ToCodePageExactly): true; otherwise false.
bool WideToAnsiExact(const std::wstring& text, std::string& ansi);
// The same for a name: false also when it is empty or holds a NUL, as it
// then names no file that a path of this program could reach.
bool WideNameToAnsiExact(const std::wstring& name, std::string& ansi);

// The text with every LF turned into CR LF, as a text-mode C stream writes it.
std::string ExpandLineBreaks(const std::string& text);
