// The restart queue of the NT family, the registry value
// PendingFileRenameOperations: read, copied to its backup, and cleared of
// entries while other programs go on queueing.
#pragma once

#include <string>
#include <vector>

struct SQueueFailure;

// The value's UTF-16 text, read only, for a listing. No value at all reads
// as an empty queue. False, with the last error, when the value is there
// but cannot be read (a value of another type: ERROR_INVALID_DATA).
bool ReadQueueText(std::wstring& text);

// The value's UTF-16 text, its key opened for writing too: the take-over
// writes what it read. False with the last error, also without a value
// (ERROR_FILE_NOT_FOUND).
bool ReadQueueForTakeOver(std::wstring& text);

// The value as it stands, copied (bytes and type) to
// PendingFileRenameOperations.Backup: a write to the queue's key, so also
// the proof that the queue can be written. False, the failure kept.
bool BackupQueueValue(SQueueFailure& failure);

// Clears the entries (their UTF-16 text, one each) from the queue value;
// every other entry stays, also one another program queues meanwhile: the
// clearing waits while it keeps queueing, and clears again what a program
// that read before the write writes back after it. With `lasting`, the key
// is flushed to the disk before the answer. False with the last error
// (ERROR_BUSY: another program never paused). Throws std::bad_alloc.
bool ClearQueueEntries(std::vector<std::wstring> entries, bool lasting = false);
