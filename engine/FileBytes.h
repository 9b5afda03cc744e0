// Whole reads and writes on an open file, console or pipe handle.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

// Appends the rest of an open file's bytes (throws std::bad_alloc).
bool ReadToEnd(HANDLE file, std::string& bytes);

// Writes every byte, also where one WriteFile takes only part of them (a pipe,
// a console); false when a write fails or makes no progress.
bool WriteAll(HANDLE file, const std::string& bytes);
