// The take-over keeps its progress in the restart queue itself, as a journal
// would: what was carried out leaves the queue commit by commit while the
// work goes on (PlanTakeOver says when), in steps whose replay changes
// nothing, so that whenever the run ends, the restart finds nothing to do
// twice and nothing queued missing. The registry value is rewritten whole
// (the registry writes a value at once); a line of wininit.ini is turned
// into a comment in place, byte by byte.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct SQueueOrigin;

// What a write of the queue failed on, for an error line: the value or the
// file, and the error code (0: nothing failed).
struct SQueueFailure
{
    std::string what;
    DWORD code = 0;
};

class CQueueJournal
{
public:
    explicit CQueueJournal(bool winInit) : m_winInit(winInit) {}

    // An operation carried out: its entry leaves the queue at the next commit.
    void Add(const SQueueOrigin& origin);

    // Clears from the queue the entries added since the last commit. With
    // `lasting`, what an entry to run next depends on: the change is made to
    // outlast a power cut before the answer. False, the failure kept, when
    // the queue cannot be written.
    bool Commit(bool lasting);

    const SQueueFailure& GetFailure() const { return m_failure; }

private:
    bool m_winInit;
    std::vector<std::wstring> m_entries;
    std::vector<std::string> m_lines;
    SQueueFailure m_failure;
};

// The queue's name in an error line: the registry value's full name, or the
// path of wininit.ini.
std::string GetQueueName(bool winInit);

// Keeps the failure of the step that failed (the last error), named for an
// error line: the queue itself unless `what` names another file or value.
// Always false, the last error kept.
bool NoteQueueFailure(SQueueFailure& failure, bool winInit, const std::string& what = std::string());
