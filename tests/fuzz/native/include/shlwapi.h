// The path helpers that the parsers use, as Windows' shell library has them
// (implemented in WindowsLayer.cpp); the others only declared.
#pragma once

#include <windows.h>

LPSTR PathFindFileNameA(LPCSTR path);
LPSTR PathFindExtensionA(LPCSTR path);
BOOL PathIsRelativeA(LPCSTR path);
BOOL PathIsFileSpecA(LPCSTR path);
BOOL PathAppendA(LPSTR path, LPCSTR more);
BOOL PathFileExistsA(LPCSTR path);
BOOL PathIsDirectoryA(LPCSTR path);
BOOL PathRenameExtensionA(LPSTR path, LPCSTR extension);
