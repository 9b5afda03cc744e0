#include "inspect/HandleScan.h"

#include "engine/ProgramPath.h"
#include "engine/SystemServices.h"
#include "engine/Text.h"
#include "inspect/HandleTable.h"
#include "inspect/HeapBuffer.h"
#include "inspect/NativePaths.h"
#include "inspect/OpenFileNamer.h"
#include "inspect/QueryWorker.h"

#include <algorithm>
#include <cstddef>
#include <map>
#include <memory>
#include <new>

namespace
{

using NtQuerySystemInformationProc = LONG(WINAPI*)(ULONG infoClass, PVOID buffer, ULONG size,
                                                   PULONG returned);

constexpr LONG kStatusInfoLengthMismatch = static_cast<LONG>(0xC0000004);
// No system has a handle table this large; a size beyond it is refused.
constexpr std::size_t kMaxHandleTableBytes = 256u << 20;

// One handle of another process that may be a file.
struct SCandidate
{
    HANDLE process; // owned by the job
    DWORD processId;
    HANDLE handle;  // a value in that process
};

// Names the candidates' handles: each is duplicated here and named as a
// disk file.
class CHandleNameJob : public CQueryJob
{
public:
    explicit CHandleNameJob(const COpenFileNamer& namer) : m_namer(namer) {}

    std::size_t GetCount() const override { return m_candidates.size(); }

    bool Query(std::size_t index, std::string& answer) override
    {
        const SCandidate& candidate = m_candidates[index];
        CHandle copy;
        if (!::DuplicateHandle(candidate.process, candidate.handle, ::GetCurrentProcess(),
                               copy.Receive(), 0, FALSE, DUPLICATE_SAME_ACCESS))
            return false;
        std::string path;
        if (!m_namer.Name(copy.Get(), path))
            return false;
        // A name opened in its short form is decided by the caller, once
        // it has its long form.
        if (!IsAtOrBelow(path, m_namer.GetTarget()) && path.find('~') == std::string::npos)
            return false;
        answer.swap(path);
        return true;
    }

    // The process handle to duplicate from, opened once per process; null
    // for a process that may not be asked.
    HANDLE OpenSource(DWORD processId)
    {
        const auto found = m_sources.find(processId);
        if (found != m_sources.end())
            return found->second;
        const HANDLE process = ::OpenProcess(PROCESS_DUP_HANDLE, FALSE, processId);
        m_sources[processId] = process;
        if (process)
            m_processes.emplace_back(process);
        return process;
    }

    void AddCandidate(HANDLE process, DWORD processId, ULONG_PTR handle)
    {
        m_candidates.push_back({process, processId, reinterpret_cast<HANDLE>(handle)});
    }

    const SCandidate& GetCandidate(std::size_t index) const { return m_candidates[index]; }

private:
    COpenFileNamer m_namer;
    std::vector<SCandidate> m_candidates;
    std::map<DWORD, HANDLE> m_sources;
    std::vector<CHandle> m_processes;
};

// The handle table in one of its two forms; false when the system has no
// such class or the memory is not there.
bool ReadHandleTable(NtQuerySystemInformationProc query, ULONG infoClass,
                     std::unique_ptr<BYTE[]>& buffer, std::size_t& size)
{
    std::size_t capacity = 1u << 20;
    for (;;)
    {
        buffer = AllocateBuffer<BYTE>(capacity);
        if (!buffer)
            return false;
        ULONG returned = 0;
        const LONG status = query(infoClass, buffer.get(), static_cast<ULONG>(capacity), &returned);
        if (status >= 0)
        {
            size = returned != 0 && returned < capacity ? returned : capacity;
            return true;
        }
        // The table grows while it is read: more room than it asked for.
        if (status != kStatusInfoLengthMismatch || capacity >= kMaxHandleTableBytes)
        {
            ::SetLastError(ERROR_NOT_SUPPORTED);
            return false;
        }
        capacity = std::min(kMaxHandleTableBytes,
                            std::max<std::size_t>(capacity * 2, std::size_t(returned) + (64u << 10)));
    }
}

// The ntdll entry point of the scan; false, with ERROR_NOT_SUPPORTED,
// where the system lacks it.
bool ResolveQuerySystem(NtQuerySystemInformationProc& querySystem)
{
    const HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
    if (ntdll && ResolveExport(ntdll, "NtQuerySystemInformation", querySystem))
        return true;
    ::SetLastError(ERROR_NOT_SUPPORTED);
    return false;
}

// The handle table as read, and what tells its entries apart.
struct STableView
{
    std::vector<SHandleEntry> entries;
    // The older table cuts process ids and handle values to 16 bits.
    bool legacy = false;
    ULONG_PTR idMask = ~ULONG_PTR(0);
    // The type number of files on this system, when the table tells it.
    bool typeKnown = false;
    USHORT fileType = 0;
};

// The entry of `probe`, a file of this process open while the table was
// read, tells which type number files have on this system.
void FindFileType(const CFileHandle& probe, STableView& table)
{
    if (!probe)
        return;
    const ULONG_PTR probeValue = reinterpret_cast<ULONG_PTR>(probe.Get()) & table.idMask;
    const ULONG_PTR ownId = ::GetCurrentProcessId() & table.idMask;
    for (const SHandleEntry& entry : table.entries)
    {
        if (entry.processId == ownId && entry.handle == probeValue)
        {
            table.fileType = entry.type;
            table.typeKnown = true;
            return;
        }
    }
}

// The extended table where the system has it, else the older one.
bool ReadTable(NtQuerySystemInformationProc querySystem, STableView& view)
{
    CFileHandle probe(::CreateFileA(GetImagePath().c_str(), 0,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
    ULONG infoClass = ExtendedHandleTableClass;
    std::unique_ptr<BYTE[]> table;
    std::size_t size = 0;
    if (!ReadHandleTable(querySystem, infoClass, table, size))
    {
        infoClass = HandleTableClass;
        if (!ReadHandleTable(querySystem, infoClass, table, size))
            return false;
    }
    if (!ParseHandleTable(table.get(), size, infoClass, view.entries))
        return false;
    table.reset();
    view.legacy = infoClass == HandleTableClass;
    view.idMask = view.legacy ? 0xFFFF : ~ULONG_PTR(0);
    FindFileType(probe, view);
    return true;
}

// The older table's 16-bit ids stand for every process whose id ends with
// them: a handle that names the target holds it, whichever of them it came
// from.
std::multimap<DWORD, DWORD> MapIdsByLowWord(EnumProcessesProc enumProcesses)
{
    std::multimap<DWORD, DWORD> idsByLowWord;
    std::vector<DWORD> ids;
    if (enumProcesses && ReadProcessIds(enumProcesses, ids))
    {
        for (const DWORD id : ids)
            idsByLowWord.emplace(id & 0xFFFF, id);
    }
    return idsByLowWord;
}

// The handles of other processes that may be files, for the job to name.
// The 32-bit program that this one runs for holds what this one holds (its
// current folder): it is this program to the user. Throws std::bad_alloc.
void AddCandidates(const STableView& table, const std::multimap<DWORD, DWORD>& idsByLowWord,
                   CHandleNameJob& job)
{
    const DWORD ownId = ::GetCurrentProcessId();
    const DWORD startedForId = GetStartedForProcessId();
    for (const SHandleEntry& entry : table.entries)
    {
        if (table.typeKnown && entry.type != table.fileType)
            continue;
        const DWORD listedId = static_cast<DWORD>(entry.processId);
        const auto range = idsByLowWord.equal_range(listedId);
        if (table.legacy && range.first != range.second)
        {
            for (auto it = range.first; it != range.second; ++it)
            {
                if (it->second == ownId || it->second == startedForId)
                    continue;
                if (const HANDLE process = job.OpenSource(it->second))
                    job.AddCandidate(process, it->second, entry.handle);
            }
            continue;
        }
        if (listedId == (ownId & table.idMask) || (startedForId && listedId == (startedForId & table.idMask)))
            continue;
        if (const HANDLE process = job.OpenSource(listedId))
            job.AddCandidate(process, listedId, entry.handle);
    }
}

// The processes of the answers whose name, in its long form, is the target
// or inside it, each once with the handles found. False, with
// ERROR_OUTOFMEMORY, when memory runs out.
bool AddOpeners(const CHandleNameJob& job, const std::vector<SQueryAnswer>& answers, const COpenFileNamer& namer,
                CHolderList& openers)
{
    for (const SQueryAnswer& answer : answers)
    {
        if (!namer.IsOnTarget(answer.answer))
            continue;
        const SCandidate& candidate = job.GetCandidate(answer.index);
        SHolder opener;
        opener.processId = candidate.processId;
        opener.heldAs = HeldOpen;
        try
        {
            opener.openHandles.push_back(reinterpret_cast<ULONG_PTR>(candidate.handle));
        }
        catch (const std::bad_alloc&)
        {
            ::SetLastError(ERROR_OUTOFMEMORY);
            return false;
        }
        if (!MergeHolder(openers, opener))
        {
            ::SetLastError(ERROR_OUTOFMEMORY);
            return false;
        }
    }
    return true;
}

} // namespace

bool HasHandleTable()
{
    return IsWindowsNT();
}

bool FindOpeners(const std::string& path, EnumProcessesProc enumProcesses, CHolderList& openers)
{
    NtQuerySystemInformationProc querySystem = nullptr;
    COpenFileNamer namer;
    if (!HasHandleTable())
    {
        ::SetLastError(ERROR_NOT_SUPPORTED);
        return false;
    }
    if (!ResolveQuerySystem(querySystem))
        return false;
    if (path.empty())
        return true;
    if (!namer.Open(path))
        return false;

    STableView table;
    if (!ReadTable(querySystem, table))
        return false;
    const std::multimap<DWORD, DWORD> idsByLowWord =
        table.legacy ? MapIdsByLowWord(enumProcesses) : std::multimap<DWORD, DWORD>();

    std::shared_ptr<CHandleNameJob> job;
    try
    {
        job = std::make_shared<CHandleNameJob>(namer);
        AddCandidates(table, idsByLowWord, *job);
    }
    catch (const std::bad_alloc&)
    {
        ::SetLastError(ERROR_OUTOFMEMORY);
        return false;
    }
    table.entries.clear();

    std::vector<SQueryAnswer> answers;
    const bool complete = RunQueries(job, kNameQueryLimitMs, answers);
    return AddOpeners(*job, answers, namer, openers) && complete;
}
