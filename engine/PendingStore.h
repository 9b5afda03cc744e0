// The operations already queued for the next restart: the list's loading
// from the queue (CFileInfoList::LoadPending), its take-over and the
// removal of what it took.
#pragma once

class CFileInfoList;

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
