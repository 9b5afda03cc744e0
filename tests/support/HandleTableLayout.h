// The system's handle tables and counted names as ntdll fills them, on this
// build's word size: what the tests build hostile bytes of.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstring>
#include <vector>

// One entry of the older table (information class 16).
struct SLegacyEntry
{
    USHORT processId;
    USHORT backTrace;
    UCHAR type;
    UCHAR attributes;
    USHORT handle;
    PVOID object;
    ULONG access;
};

struct SLegacyTable
{
    ULONG count;
    SLegacyEntry entries[1];
};

// One entry of the extended table (information class 64).
struct SExtendedEntry
{
    PVOID object;
    ULONG_PTR processId;
    ULONG_PTR handle;
    ULONG access;
    USHORT backTrace;
    USHORT type;
    ULONG attributes;
    ULONG reserved;
};

struct SExtendedTable
{
    ULONG_PTR count;
    ULONG_PTR reserved;
    SExtendedEntry entries[1];
};

constexpr std::size_t kLegacyHeader = offsetof(SLegacyTable, entries);
constexpr std::size_t kExtendedHeader = offsetof(SExtendedTable, entries);

// A table stating `stated` entries, followed by `entries`.
template <typename Count, typename Entry>
std::vector<BYTE> MakeTable(Count stated, const std::vector<Entry>& entries, std::size_t header)
{
    std::vector<BYTE> bytes(header + entries.size() * sizeof(Entry));
    std::memcpy(bytes.data(), &stated, sizeof(stated));
    if (!entries.empty())
        std::memcpy(bytes.data() + header, entries.data(), entries.size() * sizeof(Entry));
    return bytes;
}

// An object's name: a length in bytes, the room, and where the UTF-16
// characters are.
struct SCountedName
{
    USHORT length;
    USHORT maximumLength;
    const wchar_t* buffer;
};
