#include "inspect/HolderScan.h"

#include "engine/ProgramPath.h"
#include "engine/StringIds.h"
#include "engine/SystemServices.h"
#include "engine/Text.h"
#include "inspect/HeapBuffer.h"

#include <shlwapi.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <new>

namespace
{

// The layouts of the handle table and of an object name, as ntdll fills
// them (the native headers of the tool chain do not all declare them).
struct SHandleTableEntry
{
    USHORT processId;
    USHORT creatorBackTraceIndex;
    UCHAR objectType;
    UCHAR attributes;
    USHORT handle;
    PVOID object;
    ULONG grantedAccess;
};

struct SHandleTable
{
    ULONG count;
    SHandleTableEntry entries[1];
};

struct SExtendedHandleTableEntry
{
    PVOID object;
    ULONG_PTR processId;
    ULONG_PTR handle;
    ULONG grantedAccess;
    USHORT creatorBackTraceIndex;
    USHORT objectType;
    ULONG attributes;
    ULONG reserved;
};

struct SExtendedHandleTable
{
    ULONG_PTR count;
    ULONG_PTR reserved;
    SExtendedHandleTableEntry entries[1];
};

struct SCountedName
{
    USHORT length; // bytes
    USHORT maximumLength;
    const wchar_t* buffer;
};

using NtQuerySystemInformationProc = LONG(WINAPI*)(ULONG infoClass, PVOID buffer, ULONG size,
                                                   PULONG returned);
using QueryDosDeviceProc = DWORD(WINAPI*)(LPCSTR device, LPSTR target, DWORD size);

constexpr LONG kStatusInfoLengthMismatch = static_cast<LONG>(0xC0000004);
constexpr LONG kStatusBufferTooSmall = static_cast<LONG>(0xC0000023);
constexpr LONG kStatusBufferOverflow = static_cast<LONG>(0x80000005);
constexpr ULONG kObjectNameInformation = 1;
// No system has a handle table this large; a size beyond it is refused.
constexpr std::size_t kMaxHandleTableBytes = 256u << 20;

// LIST_MODULES_ALL and TH32CS_SNAPMODULE32, which the Windows 2000 headers lack.
constexpr DWORD kListAllModules = 0x03;
constexpr DWORD kSnapModule32 = 0x10;
// A name of the longest path the system allows, with its header.
constexpr std::size_t kMaxNameBytes = 0x10000 + sizeof(SCountedName);

template <typename Entry, typename Table>
bool ParseTable(const BYTE* data, std::size_t size, std::vector<SHandleEntry>& entries)
{
    const std::size_t header = offsetof(Table, entries);
    if (!data || size < header)
        return false;
    Table table;
    std::memcpy(&table, data, header);
    const std::size_t room = (size - header) / sizeof(Entry);
    const std::size_t count = std::min<std::size_t>(table.count, room);
    try
    {
        entries.clear();
        entries.reserve(count);
        for (std::size_t i = 0; i < count; ++i)
        {
            Entry raw;
            std::memcpy(&raw, data + header + i * sizeof(Entry), sizeof(Entry));
            SHandleEntry entry;
            entry.processId = raw.processId;
            entry.handle = raw.handle;
            entry.type = raw.objectType;
            entries.push_back(entry);
        }
    }
    catch (const std::bad_alloc&)
    {
        ::SetLastError(ERROR_OUTOFMEMORY);
        return false;
    }
    return true;
}

// Whether byte `index` of the text begins a character (a DBCS trail byte
// does not).
bool IsCharacterStart(const std::string& text, std::size_t index)
{
    std::size_t i = 0;
    while (i < index)
        i += ::IsDBCSLeadByte(static_cast<BYTE>(text[i])) && i + 1 < text.size() ? 2 : 1;
    return i == index;
}

// The text without one trailing backslash (that is not a trail byte).
std::string WithoutTrailingSlash(const std::string& path)
{
    if (path.size() > 1 && path.back() == '\\' && IsCharacterStart(path, path.size() - 1))
        return path.substr(0, path.size() - 1);
    return path;
}

bool StartsWithNoCase(const std::string& text, const char* prefix)
{
    const std::size_t length = std::strlen(prefix);
    return text.size() >= length && IsSameTextPrefix(text, prefix, length);
}

// The ANSI form of a name, only when every character has its own: a name
// that the code page would turn into another one ("best fit", "?") names
// no file that a path of this program could reach.
bool ToAnsiExactly(const std::wstring& name, std::string& ansi)
{
    return !name.empty() && WideToAnsiExact(name, ansi) && ansi.find('\0') == std::string::npos;
}

// The drive letters and their devices.
std::vector<SDosDevice> ReadDosDevices()
{
    std::vector<SDosDevice> devices;
    QueryDosDeviceProc queryDosDevice = nullptr;
    const HMODULE kernel = ::GetModuleHandleA("KERNEL32.DLL");
    if (!kernel || !ResolveExport(kernel, "QueryDosDeviceA", queryDosDevice))
        return devices;
    const DWORD drives = ::GetLogicalDrives();
    for (int letter = 0; letter < 26; ++letter)
    {
        if (!(drives & (1u << letter)))
            continue;
        const char drive[3] = {static_cast<char>('A' + letter), ':', '\0'};
        char target[1024] = {};
        if (queryDosDevice(drive, target, sizeof(target) - 1) == 0)
            continue;
        target[sizeof(target) - 1] = '\0';
        devices.push_back({drive, target});
    }
    return devices;
}

// The same path with the first drive letter of its volume: a volume that
// two letters show is named by one of them in the handle table.
std::string WithFirstLetterOfItsVolume(const std::string& path, const std::vector<SDosDevice>& devices)
{
    if (path.size() < 2 || path[1] != ':')
        return path;
    for (const SDosDevice& device : devices)
    {
        if (IsSameTextPrefix(path, device.drive, 2))
        {
            const std::string mapped = MapNativePath(device.device + path.substr(2), devices);
            return mapped.empty() ? path : mapped;
        }
    }
    return path;
}

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

// Shared by RunQueries and one worker thread.
struct SQueryWorker
{
    SQueryWorker() { ::InitializeCriticalSection(&lock); }
    ~SQueryWorker() { ::DeleteCriticalSection(&lock); }
    SQueryWorker(const SQueryWorker&) = delete;
    SQueryWorker& operator=(const SQueryWorker&) = delete;

    std::shared_ptr<CQueryJob> job;
    std::size_t first = 0;
    // The item being asked.
    volatile LONG current = 0;
    CRITICAL_SECTION lock;
    // Under the lock: a worker left behind publishes nothing more.
    bool abandoned = false;
    std::vector<SQueryAnswer> answers;
};

DWORD WINAPI QueryThread(void* parameter)
{
    const std::unique_ptr<std::shared_ptr<SQueryWorker>> owner(
        static_cast<std::shared_ptr<SQueryWorker>*>(parameter));
    SQueryWorker& worker = **owner;
    const std::size_t count = worker.job->GetCount();
    for (std::size_t i = worker.first; i < count; ++i)
    {
        ::InterlockedExchange(&worker.current, static_cast<LONG>(i));
        std::string answer;
        bool answered = false;
        try
        {
            answered = worker.job->Query(i, answer);
        }
        catch (...)
        {
            answered = false;
        }
        ::EnterCriticalSection(&worker.lock);
        const bool abandoned = worker.abandoned;
        if (answered && !abandoned)
        {
            try
            {
                worker.answers.push_back({i, std::move(answer)});
            }
            catch (...)
            {
            }
        }
        ::LeaveCriticalSection(&worker.lock);
        if (abandoned)
            break;
    }
    return 0;
}

// The worker's answers so far; when `abandon`, it publishes none after.
void TakeAnswers(SQueryWorker& worker, bool abandon, std::vector<SQueryAnswer>& answers)
{
    ::EnterCriticalSection(&worker.lock);
    if (abandon)
        worker.abandoned = true;
    try
    {
        for (SQueryAnswer& answer : worker.answers)
            answers.push_back(std::move(answer));
    }
    catch (...)
    {
    }
    worker.answers.clear();
    ::LeaveCriticalSection(&worker.lock);
}

} // namespace

std::string GetHeldAsText(DWORD heldAs)
{
    if ((heldAs & HeldOpen) == 0)
        return LoadResourceText(IDS_ENGINE_HELD_LOADED);
    return LoadResourceText((heldAs & HeldLoaded) != 0 ? IDS_ENGINE_HELD_LOADED_OPEN : IDS_ENGINE_HELD_OPEN);
}

bool MergeHolder(CHolderList& holders, const SHolder& holder)
{
    for (SHolder& row : holders)
    {
        if (row.processId == holder.processId && row.taskThreadId == holder.taskThreadId)
        {
            if (row.imagePath.empty())
                row.imagePath = holder.imagePath;
            try
            {
                row.openHandles.insert(row.openHandles.end(), holder.openHandles.begin(),
                                       holder.openHandles.end());
            }
            catch (const std::bad_alloc&)
            {
                return false;
            }
            row.heldAs |= holder.heldAs;
            return true;
        }
    }
    try
    {
        holders.push_back(holder);
        return true;
    }
    catch (const std::bad_alloc&)
    {
        return false;
    }
}

bool IsAtOrBelow(const std::string& path, const std::string& target)
{
    const std::string outer = WithoutTrailingSlash(target);
    const std::string inner = WithoutTrailingSlash(path);
    if (outer.empty() || inner.size() < outer.size() || !IsCharacterStart(inner, outer.size()) ||
        !IsSameTextPrefix(inner, outer, outer.size()))
        return false;
    if (inner.size() == outer.size())
        return true;
    const char next = inner[outer.size()];
    return next == '\\' || (next == ':' && outer.size() > 2);
}

std::string MapNativePath(const std::string& native, const std::vector<SDosDevice>& devices)
{
    // The names of drive letters themselves.
    static const char* const letterPrefixes[] = {"\\??\\", "\\GLOBAL??\\", "\\DosDevices\\"};
    for (const char* prefix : letterPrefixes)
    {
        if (!StartsWithNoCase(native, prefix))
            continue;
        const std::string rest = native.substr(std::strlen(prefix));
        if (StartsWithNoCase(rest, "UNC\\"))
            return rest.size() > 4 ? "\\\\" + rest.substr(4) : std::string();
        const char letter = rest.empty() ? '\0' : rest[0];
        const bool isLetter = (letter >= 'A' && letter <= 'Z') || (letter >= 'a' && letter <= 'z');
        // "\??\C:" alone is the volume, not a file on it.
        if (isLetter && rest.size() > 2 && rest[1] == ':' && rest[2] == '\\')
            return rest;
        return std::string();
    }

    // Network redirectors: "\Device\Mup\server\share\..." and the older
    // "\Device\LanmanRedirector\;X:0000...\server\share\...".
    static const char kMup[] = "\\Device\\Mup\\";
    static const char kLanman[] = "\\Device\\LanmanRedirector\\";
    for (const char* prefix : {kMup, kLanman})
    {
        if (!StartsWithNoCase(native, prefix))
            continue;
        std::string rest = native.substr(std::strlen(prefix));
        if (!rest.empty() && rest[0] == ';')
        {
            const std::size_t slash = rest.find('\\');
            rest = slash == std::string::npos ? std::string() : rest.substr(slash + 1);
        }
        return rest.empty() ? std::string() : "\\\\" + rest;
    }

    for (const SDosDevice& device : devices)
    {
        const std::size_t length = device.device.size();
        if (length == 0 || native.size() <= length + 1 || native[length] != '\\' ||
            !IsSameTextPrefix(native, device.device, length))
            continue;
        return device.drive + native.substr(length);
    }
    return std::string();
}

std::string NormalizeImagePath(const std::string& raw)
{
    struct SPrefix
    {
        const char* native;
        const char* plain;
    };
    static const SPrefix prefixes[] = {{"\\SystemRoot", "%SystemRoot%"}, {"\\??\\", ""}};

    std::string path = raw;
    for (const SPrefix& prefix : prefixes)
    {
        const std::size_t length = std::strlen(prefix.native);
        if (path.size() >= length && IsSameTextPrefix(path, prefix.native, length))
        {
            path = prefix.plain + path.substr(length);
            break;
        }
    }
    char expanded[MAX_PATH] = {};
    const DWORD length = ::ExpandEnvironmentStringsA(path.c_str(), expanded, MAX_PATH);
    // 0 is a failure; more than the buffer means the text did not fit: the
    // unexpanded text is kept either way.
    if (length != 0 && length <= MAX_PATH)
        path = expanded;

    // Trailing blanks and quotes first, then the leading ones.
    const char* const trimmed = " \"";
    const std::size_t last = path.find_last_not_of(trimmed);
    if (last == std::string::npos)
        return std::string();
    path.erase(last + 1);
    path.erase(0, path.find_first_not_of(trimmed));
    return path;
}

bool COpenFileNamer::Open(const std::string& path)
{
    const HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
    if (!ntdll || !ResolveExport(ntdll, "NtQueryObject", m_queryObject))
    {
        ::SetLastError(ERROR_NOT_SUPPORTED);
        return false;
    }
    m_devices = ReadDosDevices();
    m_target = path;
    GetLongPath(m_target);
    m_target = WithFirstLetterOfItsVolume(m_target, m_devices);
    return true;
}

bool COpenFileNamer::Name(HANDLE handle, std::string& path) const
{
    if (!m_queryObject || ::GetFileType(handle) != FILE_TYPE_DISK)
        return false;
    std::wstring name;
    std::string ansi;
    if (!QueryName(handle, name) || !ToAnsiExactly(name, ansi))
        return false;
    path = MapNativePath(ansi, m_devices);
    return !path.empty();
}

bool COpenFileNamer::IsOnTarget(const std::string& path) const
{
    std::string found = path;
    if (found.find('~') != std::string::npos)
        GetLongPath(found);
    return IsAtOrBelow(found, m_target);
}

bool COpenFileNamer::QueryName(HANDLE handle, std::wstring& name) const
{
    // Most names fit; a longer one is asked once more at its size.
    ULONG_PTR local[256];
    ULONG returned = 0;
    LONG status = m_queryObject(handle, kObjectNameInformation, local, sizeof(local), &returned);
    if (status >= 0)
        return ReadObjectName(reinterpret_cast<const BYTE*>(local), sizeof(local), name);
    if ((status != kStatusBufferOverflow && status != kStatusInfoLengthMismatch &&
         status != kStatusBufferTooSmall) ||
        returned <= sizeof(local) || returned > kMaxNameBytes)
        return false;
    const std::size_t words = (returned + sizeof(ULONG_PTR) - 1) / sizeof(ULONG_PTR);
    const std::unique_ptr<ULONG_PTR[]> buffer = AllocateBuffer<ULONG_PTR>(words);
    if (!buffer)
        return false;
    const ULONG size = static_cast<ULONG>(words * sizeof(ULONG_PTR));
    status = m_queryObject(handle, kObjectNameInformation, buffer.get(), size, &returned);
    return status >= 0 && ReadObjectName(reinterpret_cast<const BYTE*>(buffer.get()), size, name);
}

bool ParseHandleTable(const BYTE* data, std::size_t size, ULONG infoClass,
                      std::vector<SHandleEntry>& entries)
{
    entries.clear();
    switch (infoClass)
    {
    case HandleTableClass:
        return ParseTable<SHandleTableEntry, SHandleTable>(data, size, entries);
    case ExtendedHandleTableClass:
        return ParseTable<SExtendedHandleTableEntry, SExtendedHandleTable>(data, size, entries);
    default:
        return false;
    }
}

bool ReadObjectName(const BYTE* data, std::size_t size, std::wstring& name)
{
    name.clear();
    if (!data || size < sizeof(SCountedName))
        return false;
    SCountedName header;
    std::memcpy(&header, data, sizeof(header));
    if (header.length % sizeof(wchar_t) != 0)
        return false;
    if (header.length == 0)
        return true;
    const auto begin = reinterpret_cast<std::uintptr_t>(data);
    const auto end = begin + size;
    const auto text = reinterpret_cast<std::uintptr_t>(header.buffer);
    if (text < begin || text > end || header.length > end - text)
        return false;
    name.resize(header.length / sizeof(wchar_t));
    std::memcpy(&name[0], header.buffer, header.length);
    return true;
}

bool ReadProcessIds(EnumProcessesProc enumProcesses, std::vector<DWORD>& ids)
{
    ids.clear();
    try
    {
        for (std::size_t bytes = 1024;; bytes *= 2)
        {
            std::vector<DWORD> buffer(bytes / sizeof(DWORD));
            DWORD returned = 0;
            if (!enumProcesses(buffer.data(), static_cast<DWORD>(bytes), &returned))
                return false;
            // A full buffer may have cut the list short.
            if (returned < bytes)
            {
                buffer.resize(returned / sizeof(DWORD));
                ids.swap(buffer);
                return true;
            }
        }
    }
    catch (const std::bad_alloc&)
    {
        ::SetLastError(ERROR_OUTOFMEMORY);
        return false;
    }
}

std::size_t CountModuleHandles(DWORD bytesNeeded, std::size_t capacity)
{
    return std::min<std::size_t>(bytesNeeded / sizeof(HMODULE), capacity);
}

bool RunQueries(const std::shared_ptr<CQueryJob>& job, DWORD limitMs,
                std::vector<SQueryAnswer>& answers)
{
    const std::size_t count = job ? job->GetCount() : 0;
    for (std::size_t next = 0; next < count;)
    {
        std::shared_ptr<SQueryWorker> worker;
        try
        {
            worker = std::make_shared<SQueryWorker>();
        }
        catch (const std::bad_alloc&)
        {
            ::SetLastError(ERROR_OUTOFMEMORY);
            return false;
        }
        worker->job = job;
        worker->first = next;
        worker->current = static_cast<LONG>(next);
        auto* parameter = new (std::nothrow) std::shared_ptr<SQueryWorker>(worker);
        if (!parameter)
        {
            ::SetLastError(ERROR_OUTOFMEMORY);
            return false;
        }
        CHandle thread(::CreateThread(nullptr, 0, QueryThread, parameter, 0, nullptr));
        if (!thread)
        {
            delete parameter;
            return false;
        }
        // A worker that began no new item over a whole period is stuck.
        LONG seen = -1;
        for (;;)
        {
            const DWORD waited = ::WaitForSingleObject(thread.Get(), limitMs);
            if (waited == WAIT_OBJECT_0)
            {
                TakeAnswers(*worker, false, answers);
                next = count;
                break;
            }
            const LONG current = ::InterlockedCompareExchange(&worker->current, 0, 0);
            if (waited != WAIT_TIMEOUT || current == seen)
            {
                TakeAnswers(*worker, true, answers);
                next = static_cast<std::size_t>(current) + 1;
                break;
            }
            seen = current;
        }
    }
    return true;
}

bool CHolderScan::LoadPsapi()
{
    if (m_psapi)
        return true;
    CModule library(::LoadLibraryA("PSAPI.DLL"));
    if (!library)
        return false;
    if (!ResolveExport(library.Get(), "EnumProcesses", m_enumProcesses) ||
        !ResolveExport(library.Get(), "EnumProcessModules", m_enumProcessModules) ||
        !ResolveExport(library.Get(), "GetModuleFileNameExA", m_getModuleFileNameEx))
    {
        m_enumProcesses = nullptr;
        m_enumProcessModules = nullptr;
        m_getModuleFileNameEx = nullptr;
        ::SetLastError(ERROR_NOT_SUPPORTED);
        return false;
    }
    // Vista and later: from a 64-bit process, only this call lists the
    // 32-bit modules of a 32-bit one.
    ResolveExport(library.Get(), "EnumProcessModulesEx", m_enumProcessModulesEx);
    ResolveExport(::GetModuleHandleA("kernel32.dll"), "IsWow64Process", m_isWow64Process);
    m_psapi = std::move(library);
    return true;
}

bool CHolderScan::ReplaceModuleListing(EnumProcessModulesProc plain, EnumProcessModulesExProc filtered)
{
    if (!LoadPsapi())
        return false;
    m_enumProcessModules = plain;
    m_enumProcessModulesEx = filtered;
    return true;
}

bool CHolderScan::LoadVdm()
{
    if (m_vdm)
        return true;
    CModule library(::LoadLibraryA("VDMDBG.DLL"));
    if (!library)
        return false;
    if (!ResolveExport(library.Get(), "VDMEnumTaskWOWEx", m_vdmEnumTaskWowEx))
    {
        ::SetLastError(ERROR_NOT_SUPPORTED);
        return false;
    }
    m_vdm = std::move(library);
    return true;
}

bool CHolderScan::LoadToolhelp()
{
    if (m_kernel)
        return true;
    CModule library(::LoadLibraryA("KERNEL32.DLL"));
    if (!library)
        return false;
    if (!ResolveExport(library.Get(), "CreateToolhelp32Snapshot", m_createSnapshot) ||
        !ResolveExport(library.Get(), "Process32First", m_process32First) ||
        !ResolveExport(library.Get(), "Process32Next", m_process32Next) ||
        !ResolveExport(library.Get(), "Module32First", m_module32First) ||
        !ResolveExport(library.Get(), "Module32Next", m_module32Next))
    {
        m_createSnapshot = nullptr;
        m_process32First = nullptr;
        m_process32Next = nullptr;
        m_module32First = nullptr;
        m_module32Next = nullptr;
        ::SetLastError(ERROR_NOT_SUPPORTED);
        return false;
    }
    // Needed only to end 16-bit tasks; older systems lack it.
    ResolveExport(library.Get(), "OpenThread", m_openThread);
    m_kernel = std::move(library);
    return true;
}

bool CHolderScan::HasHandleTable()
{
    return IsWindowsNT();
}

bool CHolderScan::ScanModules(const std::string& path, CHolderList& holders)
{
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof(version);
    if (!::GetVersionExA(&version))
        return false;

    m_target = path;
    m_targetIsFolder = !path.empty() && ::PathIsDirectoryA(path.c_str());
    m_holders = &holders;
    switch (version.dwPlatformId)
    {
    case VER_PLATFORM_WIN32_NT:
        return ScanModulesNT();
    case VER_PLATFORM_WIN32_WINDOWS:
        return ScanModulesToolhelp();
    default:
        ::SetLastError(ERROR_NOT_SUPPORTED);
        return false;
    }
}

bool CHolderScan::IsTarget(const std::string& path) const
{
    return m_targetIsFolder ? IsAtOrBelow(path, m_target) : IsSameText(path, m_target);
}

bool CHolderScan::ScanModulesNT()
{
    // Without VDMDBG the NT method does not run at all; 64-bit Windows runs
    // no 16-bit task and may lack it.
    if (!LoadPsapi())
        return false;
#if defined(_WIN64)
    const bool vdm = LoadVdm();
#else
    if (!LoadVdm())
        return false;
    const bool vdm = true;
#endif
    std::vector<DWORD> ids;
    if (!ReadProcessIds(m_enumProcesses, ids))
        return false;

    static constexpr std::size_t kModuleCapacity = 1024;
    const std::unique_ptr<HMODULE[]> modules = AllocateBuffer<HMODULE>(kModuleCapacity);
    if (!modules)
        return false;

    for (const DWORD processId : ids)
    {
        std::string imagePath;
        CHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId));
        if (process)
        {
            imagePath = ReadModulePath(process.Get(), nullptr);

            if (m_target.empty())
            {
                Add(processId, 0, imagePath, HeldLoaded);
            }
            else if (HoldsTargetModule(process.Get(), processId, modules.get(), kModuleCapacity))
            {
                // The process is listed once, with its executable.
                Add(processId, 0, imagePath, HeldLoaded);
            }
            process.Reset();
        }
        if (vdm && IsSameText(::PathFindFileNameA(imagePath.c_str()), "NTVDM.EXE") && ScanTasks(processId))
            break;
    }
    return true;
}

bool CHolderScan::HoldsTargetModule(HANDLE process, DWORD processId, HMODULE* modules, std::size_t capacity)
{
    const DWORD bytes = static_cast<DWORD>(capacity * sizeof(HMODULE));
    DWORD needed = 0;
    BOOL listed = FALSE;
    if (m_enumProcessModulesEx)
    {
        listed = m_enumProcessModulesEx(process, modules, bytes, &needed, kListAllModules);
    }
    else
    {
        // Before Vista a 64-bit process sees only the 64-bit modules of a
        // 32-bit one through its handles; Toolhelp lists the others.
        BOOL wow64 = FALSE;
        if (m_isWow64Process && m_isWow64Process(process, &wow64) && wow64 && HoldsTargetModule32(processId))
            return true;
        listed = m_enumProcessModules(process, modules, bytes, &needed);
    }
    if (!listed)
        return false;
    const std::size_t count = CountModuleHandles(needed, capacity);
    for (std::size_t i = 0; i < count; ++i)
    {
        const std::string modulePath = ReadModulePath(process, modules[i]);
        if (!modulePath.empty() && IsTarget(modulePath))
            return true;
    }
    return false;
}

bool CHolderScan::HoldsTargetModule32(DWORD processId)
{
    return LoadToolhelp() && HoldsTargetBySnapshot(processId, TH32CS_SNAPMODULE | kSnapModule32);
}

bool CHolderScan::HoldsTargetBySnapshot(DWORD processId, DWORD flags)
{
    CFileHandle modules(m_createSnapshot(flags, processId));
    if (!modules)
        return false;
    MODULEENTRY32 module{};
    module.dwSize = sizeof(module);
    for (BOOL more = m_module32First(modules.Get(), &module); more;
         more = m_module32Next(modules.Get(), &module))
    {
        module.szExePath[MAX_PATH - 1] = '\0';
        if (m_target.empty() || IsTarget(module.szExePath))
            return true;
    }
    return false;
}

bool CHolderScan::ReplaceToolhelp(CreateSnapshotProc createSnapshot, ModuleWalkProc first, ModuleWalkProc next)
{
    if (!LoadToolhelp())
        return false;
    m_createSnapshot = createSnapshot;
    m_module32First = first;
    m_module32Next = next;
    return true;
}

bool CHolderScan::ScanModulesToolhelp()
{
    if (!LoadToolhelp())
        return false;
    // 16-bit tasks are looked at only when VDMDBG is there.
    const bool vdm = LoadVdm();

    CFileHandle processes(m_createSnapshot(TH32CS_SNAPPROCESS, 0));
    if (!processes)
        return false;

    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = m_process32First(processes.Get(), &entry); more;
         more = m_process32Next(processes.Get(), &entry))
    {
        entry.szExeFile[MAX_PATH - 1] = '\0';
        if (HoldsTargetBySnapshot(entry.th32ProcessID, TH32CS_SNAPMODULE))
            Add(entry.th32ProcessID, 0, entry.szExeFile, HeldLoaded);
        if (vdm && IsSameText(entry.szExeFile, "NTVDM.EXE") && ScanTasks(entry.th32ProcessID))
            break;
    }
    return true;
}

bool CHolderScan::ScanTasks(DWORD processId)
{
    m_vdmProcessId = processId;
    m_taskAdded = false;
    m_vdmEnumTaskWowEx(processId, TaskCallback, reinterpret_cast<LPARAM>(this));
    return m_taskAdded;
}

BOOL WINAPI CHolderScan::TaskCallback(DWORD threadId, WORD /*module16*/, WORD /*task16*/,
                                      PSZ /*moduleName*/, PSZ fileName, LPARAM user)
{
    auto* scan = reinterpret_cast<CHolderScan*>(user);
    if (scan && fileName)
    {
        // The name comes from another process: bounded before use.
        const std::string name(fileName, ::strnlen(fileName, MAX_PATH - 1));
        if (scan->IsTarget(name) && scan->Add(scan->m_vdmProcessId, threadId, name, HeldLoaded))
            scan->m_taskAdded = true;
    }
    // Every task of this NTVDM process is examined.
    return FALSE;
}

bool CHolderScan::Add(DWORD processId, DWORD taskThreadId, const std::string& path, DWORD heldAs)
{
    try
    {
        SHolder holder;
        holder.processId = processId;
        holder.taskThreadId = taskThreadId;
        holder.imagePath = path;
        holder.heldAs = heldAs;
        m_holders->push_back(std::move(holder));
        return true;
    }
    catch (const std::bad_alloc&)
    {
        return false;
    }
}

std::string CHolderScan::ReadImagePath(DWORD processId)
{
    if (!LoadPsapi())
        return std::string();
    CHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId));
    return process ? ReadModulePath(process.Get(), nullptr) : std::string();
}

std::string CHolderScan::ReadModulePath(HANDLE process, HMODULE module) const
{
    // A path of MAX_PATH characters takes up to three bytes a character in
    // UTF-8. A call that fills the buffer has cut the path.
    char path[3 * MAX_PATH] = {};
    const DWORD length = m_getModuleFileNameEx(process, module, path, sizeof(path));
    if (length == 0 || length >= sizeof(path) - 1)
        return std::string();
    return std::string(path, length);
}

bool CHolderScan::FindOpeners(const std::string& path, CHolderList& openers) const
{
    if (!HasHandleTable())
    {
        ::SetLastError(ERROR_NOT_SUPPORTED);
        return false;
    }
    const HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
    NtQuerySystemInformationProc querySystem = nullptr;
    COpenFileNamer namer;
    if (!ntdll || !ResolveExport(ntdll, "NtQuerySystemInformation", querySystem))
    {
        ::SetLastError(ERROR_NOT_SUPPORTED);
        return false;
    }
    if (path.empty())
        return true;
    if (!namer.Open(path))
        return false;

    // A file of this process open while the table is read: its entry tells
    // which type number files have on this system.
    const DWORD ownId = ::GetCurrentProcessId();
    // The 32-bit program that this one runs for holds what this one holds
    // (its current folder): it is this program to the user.
    const DWORD startedForId = GetStartedForProcessId();
    const std::string ownPath = GetImagePath();
    CFileHandle probe(::CreateFileA(ownPath.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, 0, nullptr));

    // The extended table where the system has it: the older one cuts
    // process ids and handle values to 16 bits.
    ULONG infoClass = ExtendedHandleTableClass;
    std::unique_ptr<BYTE[]> table;
    std::size_t size = 0;
    if (!ReadHandleTable(querySystem, infoClass, table, size))
    {
        infoClass = HandleTableClass;
        if (!ReadHandleTable(querySystem, infoClass, table, size))
            return false;
    }
    std::vector<SHandleEntry> entries;
    if (!ParseHandleTable(table.get(), size, infoClass, entries))
        return false;
    table.reset();

    const bool legacy = infoClass == HandleTableClass;
    const ULONG_PTR idMask = legacy ? 0xFFFF : ~ULONG_PTR(0);
    bool typeKnown = false;
    USHORT fileType = 0;
    if (probe)
    {
        const ULONG_PTR probeValue = reinterpret_cast<ULONG_PTR>(probe.Get()) & idMask;
        for (const SHandleEntry& entry : entries)
        {
            if (entry.processId == (ownId & idMask) && entry.handle == probeValue)
            {
                fileType = entry.type;
                typeKnown = true;
                break;
            }
        }
    }
    probe.Reset();

    // The older table's 16-bit ids stand for every process whose id ends
    // with them: a handle that names the target holds it, whichever of
    // them it came from.
    std::multimap<DWORD, DWORD> idsByLowWord;
    if (legacy)
    {
        std::vector<DWORD> ids;
        if (m_enumProcesses && ReadProcessIds(m_enumProcesses, ids))
        {
            for (const DWORD id : ids)
                idsByLowWord.emplace(id & 0xFFFF, id);
        }
    }

    std::shared_ptr<CHandleNameJob> job;
    try
    {
        job = std::make_shared<CHandleNameJob>(namer);
        for (const SHandleEntry& entry : entries)
        {
            if (typeKnown && entry.type != fileType)
                continue;
            const DWORD listedId = static_cast<DWORD>(entry.processId);
            const auto range = idsByLowWord.equal_range(listedId);
            if (legacy && range.first != range.second)
            {
                for (auto it = range.first; it != range.second; ++it)
                {
                    if (it->second == ownId || it->second == startedForId)
                        continue;
                    if (const HANDLE process = job->OpenSource(it->second))
                        job->AddCandidate(process, it->second, entry.handle);
                }
                continue;
            }
            if (listedId == (ownId & idMask) || (startedForId && listedId == (startedForId & idMask)))
                continue;
            if (const HANDLE process = job->OpenSource(listedId))
                job->AddCandidate(process, listedId, entry.handle);
        }
        entries.clear();
    }
    catch (const std::bad_alloc&)
    {
        ::SetLastError(ERROR_OUTOFMEMORY);
        return false;
    }

    std::vector<SQueryAnswer> answers;
    const bool complete = RunQueries(job, kQueryLimitMs, answers);
    try
    {
        for (SQueryAnswer& answer : answers)
        {
            if (!namer.IsOnTarget(answer.answer))
                continue;
            const SCandidate& candidate = job->GetCandidate(answer.index);
            SHolder opener;
            opener.processId = candidate.processId;
            opener.heldAs = HeldOpen;
            opener.openHandles.push_back(reinterpret_cast<ULONG_PTR>(candidate.handle));
            if (!MergeHolder(openers, opener))
                throw std::bad_alloc();
        }
    }
    catch (const std::bad_alloc&)
    {
        ::SetLastError(ERROR_OUTOFMEMORY);
        return false;
    }
    return complete;
}

void CHolderScan::AddOpeners(const CHolderList& openers, CHolderList& holders)
{
    for (const SHolder& opener : openers)
    {
        const DWORD processId = opener.processId;
        SHolder holder = opener;
        bool known = false;
        for (const SHolder& row : holders)
            known = known || (row.processId == processId && row.taskThreadId == 0 && !row.imagePath.empty());
        if (!known)
            holder.imagePath = ReadImagePath(processId);
        MergeHolder(holders, holder);
    }
}

bool CHolderScan::Scan(const std::string& path, CHolderList& holders)
{
    if (!HasHandleTable())
        return ScanModules(path, holders);

    // The handle table is read beside the module scan: both spend most of
    // their time waiting for the system, one call at a time.
    LoadPsapi();
    SOpenerSearch search{this, path, {}};
    CHandle thread(::CreateThread(nullptr, 0, OpenerThread, &search, 0, nullptr));
    const bool loaded = ScanModules(path, holders);
    const DWORD error = ::GetLastError();
    if (thread)
        ::WaitForSingleObject(thread.Get(), INFINITE);
    else
        FindOpeners(path, search.openers);
    // Without the module scan there is nothing to add to; a handle table
    // that could not be read leaves the module holders.
    if (loaded)
        AddOpeners(search.openers, holders);
    ::SetLastError(error);
    return loaded;
}

bool CHolderScan::ScanOpen(const std::string& path, CHolderList& holders)
{
    LoadPsapi();
    CHolderList openers;
    const bool complete = FindOpeners(path, openers);
    const DWORD error = ::GetLastError();
    AddOpeners(openers, holders);
    ::SetLastError(error);
    return complete;
}

DWORD WINAPI CHolderScan::OpenerThread(void* parameter)
{
    auto* search = static_cast<SOpenerSearch*>(parameter);
    try
    {
        search->scan->FindOpeners(search->path, search->openers);
    }
    catch (...)
    {
    }
    return 0;
}
