#include "inspect/HandleTable.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
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

} // namespace

const std::size_t kMaxObjectNameBytes = 0x10000 + sizeof(SCountedName);

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
