// The restart queue of Windows 9x/Me: wininit.ini in the Windows folder,
// whose [Rename] section WININIT.EXE carries out at the next start.
#pragma once

#include "engine/Handles.h"

#include <windows.h>

#include <string>
#include <vector>

struct SQueueFailure;

// The Windows folder joined with "wininit.ini".
bool GetWinInitPath(char (&path)[MAX_PATH]);

// wininit.ini opened for reading and writing, shared with no other program,
// so that no writer slips in between a reading and the write it leads to.
// A program that holds the file for a moment (the system's own writer) is
// waited for a little; invalid, with the last error, when it stays held.
CFileHandle OpenWinInitForWriting();

// The file's bytes, read only, for a listing. No file at all reads as an
// empty queue. False, with the last error, when it is there but cannot be
// read.
bool ReadWinInitText(std::string& text);

// The file's bytes, read with other writers shut out: the take-over writes
// what it read. False with the last error, also without a file.
bool ReadWinInitForTakeOver(std::string& text);

// wininit.ini as it stands, copied whole (every section) to wininit.bak. It
// is read under a handle open for writing and shared with no program: the
// proof that the queue can be written. False, the failure kept. Throws
// std::bad_alloc.
bool BackupWinInit(SQueueFailure& failure);

// Turns the lines into comments in wininit.ini (MarkWinInitLines); with
// `lasting`, flushed to the disk before the answer. Throws std::bad_alloc.
bool MarkWinInitFileLines(std::vector<std::string> lines, bool lasting);
