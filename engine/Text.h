// Text rules shared by both programs: ANSI strings, bounded copies into
// Windows path buffers, multibyte-aware comparisons and string-table texts.
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

// Case-insensitive equality in the current multibyte code page.
bool IsSameText(const std::string& a, const std::string& b);

// Case-insensitive equality of the first `bytes` bytes of both texts.
bool IsSameTextPrefix(const std::string& a, const std::string& b, std::size_t bytes);

// Length of the character at `i` in the current code page: two bytes for a
// lead byte followed by a valid trail byte, otherwise one; never past the end.
std::size_t CharLength(const std::string& text, std::size_t i);

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
// it as it is: true. Otherwise false, with '?' for each character the code
// page lacks, never a look-alike ("best fit" would turn a fullwidth "\" into
// a path separator).
bool WideToAnsiExact(const std::wstring& text, std::string& ansi);
// The text in the OEM code page of the console, as CharToOemBuffA gives it,
// through kernel32 alone (user32 is costly to load for a console program).
std::string AnsiToOem(const std::string& text);
