// The system's handle table and the names of its objects as ntdll fills
// them: bytes of another process's making, read without trusting a count.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

// One entry of the system's handle table.
struct SHandleEntry
{
    ULONG_PTR processId = 0; // 16 bits only in the older table
    ULONG_PTR handle = 0;
    USHORT type = 0;
};

// The information classes of the handle table: the older one (16-bit
// process ids and handles) and the extended one of later systems.
enum : ULONG
{
    HandleTableClass = 16,
    ExtendedHandleTableClass = 64,
};

// The most bytes an object name can take: a name of the longest path the
// system allows, with its header.
extern const std::size_t kMaxObjectNameBytes;

// The entries of a handle table of `size` bytes as the system fills it for
// `infoClass`. The count the table states is not trusted: never more
// entries than the bytes hold. False for a buffer too short for its header.
bool ParseHandleTable(const BYTE* data, std::size_t size, ULONG infoClass,
                      std::vector<SHandleEntry>& entries);

// The text of an object name as NtQueryObject fills `size` bytes (a counted
// UTF-16 string whose characters follow it). False when the length is odd
// or the characters do not lie wholly inside the bytes.
bool ReadObjectName(const BYTE* data, std::size_t size, std::wstring& name);
