// The operations already queued for the next restart.
#pragma once

#include <string>
#include <vector>

class CFileInfoList;

// The queue as it is stored, read only, for a listing: the registry value's
// UTF-16 text (NT family) or wininit.ini's bytes (Windows 9x/Me). No queue
// at all reads as an empty one. False, with the last error, when the queue
// is there but cannot be read (a value of another type: ERROR_INVALID_DATA).
bool ReadQueueText(std::wstring& text);
bool ReadWinInitText(std::string& text);

// Clears from the queue the entries that the list's operations were taken
// over from, one each, after copying the queue as it stands to its backup
// (the registry value's bytes and type, or wininit.bak). Every other entry
// stays where it is, byte for byte and in its order, also one that another
// program queued after the list was read. Nothing is touched when the list
// holds no operation taken over from the queue.
bool RemovePending(const CFileInfoList& list);
bool RemovePendingFromRegistry(const CFileInfoList& list);
bool RemovePendingFromWinInit(const CFileInfoList& list);

// Takes the queue over into a list of its own and clears what it took.
bool RemovePending();

// Clears the entries (their UTF-16 text, one each) from the queue value;
// every other entry stays, also one another program queues meanwhile: the
// clearing waits while it keeps queueing, and clears again what a program
// that read before the write writes back after it. With `lasting`, the key
// is flushed to the disk before the answer. False with the last error
// (ERROR_BUSY: another program never paused). Throws std::bad_alloc.
bool ClearQueueEntries(std::vector<std::wstring> entries, bool lasting = false);
