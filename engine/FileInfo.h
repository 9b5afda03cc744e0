// One file-system operation (delete, rename, replace or move one file or
// folder) with the result of its last attempt, and the ordered list of them
// that a run carries out.
#pragma once

#include "engine/QueueJournal.h"
#include "engine/RegistryEntry.h"
#include "engine/TakeOver.h"

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

enum EFileAction : LONG
{
    ActionDelete = 1,
    ActionRename = 2,
    ActionReplace = 3,
    ActionMove = 4,
};

enum EFileStatus : LONG
{
    StatusNotProcessed = 0,
    StatusFailed = 1,
    StatusReplaced = 2,
    StatusMoved = 3,
    StatusDeleted = 4,
    StatusDelayed = 5,
};

// Replaced, moved or deleted: the operation succeeded and no later pass
// attempts it again.
inline bool IsDone(LONG status)
{
    return status == StatusReplaced || status == StatusMoved || status == StatusDeleted;
}

// Where an operation taken over from the restart queue came from: its
// entry as the queue holds it (the value's UTF-16 pair, or the line of
// wininit.ini), so that clearing the queue removes that entry and no other,
// its place among the queue's entries, whether the entry may overwrite an
// existing destination, and whether the queue was taken over (the entry
// then stays queued where it is while it cannot be done).
struct SQueueOrigin
{
    std::wstring entry;
    std::string line;
    std::size_t index = 0;
    bool replaceExisting = true;
    bool takenOver = false;
};

// The restart queue as LoadPending read it: every entry in its order, also
// those that were not taken into the list; and what a write of it failed on.
struct SPendingQueue
{
    bool winInit = false;
    bool takenOver = false;
    std::vector<STakeOverEntry> entries;
    SQueueFailure failure;
};

class CFileInfo
{
public:
    // The action, the directory flag and the protected flag follow from the
    // paths as they are now; a missing source is not an error here. An
    // operation that may not replace is a rename or a move even onto an
    // existing destination, and then fails (ERROR_ALREADY_EXISTS).
    CFileInfo(const std::string& source, const std::string& destination,
              std::unique_ptr<CRegistryEntry> entry, SQueueOrigin origin = SQueueOrigin());
    // As the first form, for a source whose attributes were just read (a
    // folder listing, the queue's existence test).
    CFileInfo(const std::string& source, DWORD attributes,
              const std::string& destination = std::string(), SQueueOrigin origin = SQueueOrigin());
    virtual ~CFileInfo() = default;

    CFileInfo(const CFileInfo&) = delete;
    CFileInfo& operator=(const CFileInfo&) = delete;

    // One attempt: at once, or queued for the restart when the object is in
    // use. Returns the new status.
    LONG Execute();

    const std::string& GetReportPath() const;
    std::string GetStatusText() const;
    std::string GetReportText() const;

    // Texts of the wizard's operation tree.
    std::string GetActionText() const;
    std::string GetTargetText() const;
    // The paths those two lines name: a replacement names the file it
    // replaces first, then the new file; every other action its source,
    // then its destination.
    const std::string& GetActionPath() const;
    const std::string& GetTargetPath() const;
    std::string GetRegistryText() const;
    int GetImage() const;
    int GetOverlay() const;

    CRegistryEntry* GetRegistryEntry() const { return m_entry.get(); }
    const std::string& GetSource() const { return m_source; }
    const std::string& GetDestination() const { return m_destination; }
    DWORD GetErrorCode() const { return m_errorCode; }
    bool IsProtected() const { return m_protected; }
    bool IsDirectory() const { return m_directory; }
    LONG GetStatus() const { return m_status; }
    LONG GetAction() const { return m_action; }
    const SQueueOrigin& GetQueueOrigin() const { return m_origin; }
    // An operation read from the restart queue: its kind follows from the
    // disk as it is when it runs, and a replacement moves its source.
    bool IsQueued() const { return !m_origin.entry.empty() || !m_origin.line.empty(); }
    void TakeOver(bool takenOver = true) { m_origin.takenOver = takenOver; }
    // Still queued, untried: it waits for one that cannot be done now.
    void StayQueued();

    // An operation that is never attempted: every attempt fails with this
    // code and touches nothing (a listed entry without a name that reaches
    // it alone, a folder that keeps such an entry).
    void Refuse(DWORD code) { m_refusal = code; }

private:
    // Queues `existing` for the restart, to the new path or for deletion.
    LONG Defer(const std::string& existing, const char* newPath);
    // After a failed move: queues it when the object is in use, the copy of
    // a replacement (`copy`) in place of its source; true when queued.
    bool QueueMove(const std::string& copy);
    void InferAction();
    void InferKind();

    std::unique_ptr<CRegistryEntry> m_entry;
    std::string m_source;
    std::string m_destination;
    DWORD m_errorCode = 0;
    bool m_protected = false;
    bool m_directory = false;
    LONG m_status = StatusNotProcessed;
    LONG m_action = ActionDelete;
    SQueueOrigin m_origin;
    DWORD m_refusal = 0;
};

// Told how far a long pass over the list or the file system has come, between
// two objects; answers false to stop the pass there.
class CProgress
{
public:
    virtual ~CProgress() = default;
    virtual bool Continue(std::size_t done) = 0;
};

// The ordered, owning list of operations. Index order is the order in which
// they run and are reported.
class CFileInfoList
{
public:
    CFileInfoList() = default;
    virtual ~CFileInfoList() = default;

    CFileInfoList(const CFileInfoList&) = delete;
    CFileInfoList& operator=(const CFileInfoList&) = delete;

    // Appends a new operation. On failure (out of memory) the entry is freed
    // and the last error is ERROR_NOT_ENOUGH_MEMORY.
    bool Add(const std::string& source, const std::string& destination = std::string(),
             std::unique_ptr<CRegistryEntry> entry = nullptr, SQueueOrigin origin = SQueueOrigin());

    // The folder's whole content, children first, then the folder itself, all
    // as deletions. Links to other folders are not followed. An entry whose
    // name reaches no object safely is added refused (ERROR_INVALID_NAME), and
    // every folder that keeps it with it (ERROR_DIR_NOT_EMPTY). The progress
    // is told the number of operations added so far; when it stops the
    // listing, the answer is false with ERROR_CANCELLED.
    bool AddFolder(const std::string& folder, CProgress* progress = nullptr);

    bool Contains(const std::string& path) const;
    bool Remove(const CFileInfo* item);
    // Deletes the operations from index `first` on.
    void RemoveFrom(std::size_t first);
    void RemoveAll();

    // One pass over the list; true when no attempt of the pass failed. The
    // progress is told the index of each operation before it is attempted;
    // when it stops the pass, that operation and the ones after it are left
    // as they are.
    bool Process(CProgress* progress = nullptr);
    bool IsRestartNeeded() const;

    // Appends the dated report of every operation to the file.
    bool WriteReport(const std::string& path) const;

    // The operations queued for the next restart that can be carried out as
    // they are written, appended to the list; each keeps its queue entry.
    bool LoadPending();
    bool LoadPendingFromRegistry();
    bool LoadPendingFromWinInit();

    // The operations that LoadPending read are taken over: the queue's
    // backup is written now, and the next Process carries them out in the
    // queue's order and clears from the queue what it carried out as it
    // goes (CQueueJournal). What cannot be done then stays queued where it
    // stands, with every later entry that touches one of its paths. False
    // (last error, GetQueueFailure) when the queue cannot be written or its
    // backup cannot be made: nothing is taken over.
    bool TakeOverPending();
    // Undoes TakeOverPending before the run: the queue keeps every entry and
    // the operations run as any other (the user chose to leave the queue).
    void LeavePending();

    // What the last write of the queue failed on (code 0: none).
    const SQueueFailure& GetQueueFailure() const { return m_pending.failure; }

    std::size_t GetCount() const { return m_items.size(); }
    bool IsEmpty() const { return m_items.empty(); }
    CFileInfo* GetAt(std::size_t index) const { return m_items[index].get(); }

private:
    // AddFolder; `keeps` becomes true when something of the tree is refused.
    bool AddTree(const std::string& folder, CProgress* progress, std::size_t first, bool& keeps);
    // Add for a queued source that exists, with the attributes that told so.
    bool AddQueued(const std::string& source, DWORD attributes, const std::string& destination,
                   SQueueOrigin origin);
    // The take-over's part of Process; true when nothing of it failed.
    bool RunTakeOver();
    // Removes what earlier runs ended short left in the folders this one
    // worked in (RemoveStaleTemporaryFiles).
    void RemoveLeftovers() const;

    std::vector<std::unique_ptr<CFileInfo>> m_items;
    SPendingQueue m_pending;
};
