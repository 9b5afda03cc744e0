// The handle table's bytes and object names as another process or the
// system left them: the table's stated count is never trusted beyond the
// bytes, every entry is read from where it lies, and a name is read only
// when its characters lie wholly inside the bytes given.
#include "tests/fuzz/Fuzz.h"

#include "inspect/HandleTable.h"
#include "tests/support/GuardedBytes.h"
#include "tests/support/HandleTableLayout.h"

#include <windows.h>

#include <cstdint>
#include <algorithm>
#include <cstring>

namespace
{

CGuardedBytes::EPlace AnyPlace(CFuzzInput& input)
{
    return input.OneIn(2) ? CGuardedBytes::AgainstEnd : CGuardedBytes::AgainstStart;
}

template <typename Count>
Count StatedCount(CFuzzInput& input, std::size_t real)
{
    switch (input.Below(6))
    {
    case 0:
        return static_cast<Count>(~static_cast<Count>(0));
    case 1:
        return static_cast<Count>(real + 1 + input.Below(4));
    case 2:
        return static_cast<Count>(input.Next());
    case 3:
        return static_cast<Count>(input.Below(real + 1));
    default:
        return static_cast<Count>(real);
    }
}

template <typename Entry>
std::vector<Entry> MakeEntries(CFuzzInput& input)
{
    std::vector<Entry> entries(input.Count(5000));
    for (Entry& entry : entries)
    {
        const std::string bytes = input.Bytes(sizeof(Entry));
        std::memcpy(&entry, bytes.data(), sizeof(Entry));
    }
    return entries;
}

// What the parser must give for each entry that the bytes hold.
void Expected(const SLegacyEntry& entry, SHandleEntry& expected)
{
    expected.processId = entry.processId;
    expected.handle = entry.handle;
    expected.type = entry.type;
}

void Expected(const SExtendedEntry& entry, SHandleEntry& expected)
{
    expected.processId = entry.processId;
    expected.handle = entry.handle;
    expected.type = entry.type;
}

template <typename Count, typename Entry>
void CheckTable(CFuzzInput& input, ULONG infoClass, std::size_t header)
{
    const std::vector<Entry> entries = MakeEntries<Entry>(input);
    const Count stated = StatedCount<Count>(input, entries.size());
    std::vector<BYTE> bytes = MakeTable<Count>(stated, entries, header);
    // Cut anywhere now and then: inside the header, inside an entry.
    if (input.OneIn(3))
        bytes.resize(input.Below(bytes.size() + 1));
    else if (input.OneIn(4))
        bytes.resize(bytes.size() + 1 + input.Below(sizeof(Entry) - 1));
    input.Show("table", std::string(bytes.begin(), bytes.begin() + std::min<std::size_t>(bytes.size(), 64)));

    const ULONG classes[] = {infoClass, infoClass, infoClass, 0, 15, 17, 63, 65, 0xFFFFFFFF};
    const ULONG asked = input.Pick(classes);
    CGuardedBytes guarded(bytes.data(), bytes.size(), AnyPlace(input));
    Expect(guarded.Data() != nullptr, "no memory for the table");
    std::vector<SHandleEntry> parsed(input.Below(3));
    const bool read = ParseHandleTable(reinterpret_cast<const BYTE*>(guarded.Data()), bytes.size(), asked, parsed);

    if (asked != infoClass || bytes.size() < header)
    {
        Expect(!read && parsed.empty(), "a table of another class, or shorter than its header, was read");
        return;
    }
    Expect(read, "a table was refused");
    const std::size_t held = (bytes.size() - header) / sizeof(Entry);
    const std::size_t count = static_cast<std::size_t>(stated) < held ? static_cast<std::size_t>(stated) : held;
    Expect(parsed.size() == count, "more or fewer entries were read than both the count and the bytes allow");
    for (std::size_t i = 0; i < count; ++i)
    {
        SHandleEntry expected;
        Expected(entries[i], expected);
        Expect(parsed[i].processId == expected.processId && parsed[i].handle == expected.handle &&
                   parsed[i].type == expected.type,
               "an entry was not read from where it lies");
    }
}

} // namespace

void FuzzHandleTable(CFuzzInput& input)
{
    if (input.OneIn(2))
        CheckTable<ULONG, SLegacyEntry>(input, HandleTableClass, kLegacyHeader);
    else
        CheckTable<ULONG_PTR, SExtendedEntry>(input, ExtendedHandleTableClass, kExtendedHeader);
}

// The header, the characters after it, and slack; the buffer pointer into
// them, at their edges, past them, before them or anywhere.
void FuzzObjectName(CFuzzInput& input)
{
    const std::size_t units = input.Count(40000);
    const std::size_t slack = input.Below(8);
    std::size_t size = sizeof(SCountedName) + units * sizeof(wchar_t) + slack;
    if (input.OneIn(8))
        size = input.Below(sizeof(SCountedName) + 1);
    std::string bytes = input.Bytes(size);

    SCountedName name{};
    const std::size_t claimed = input.OneIn(4) ? input.Below(0x10000) : units * sizeof(wchar_t);
    name.length = static_cast<USHORT>(input.OneIn(8) ? claimed | 1 : claimed);
    name.maximumLength = static_cast<USHORT>(input.Next());
    CGuardedBytes guarded(bytes.data(), bytes.size(), AnyPlace(input), true);
    Expect(guarded.Data() != nullptr, "no memory for the name");
    char* const data = guarded.Data();
    // Where the characters are said to be: an offset from the data's start.
    static const long long kPlaces[] = {0, 0, 0, 1, -2, -1};
    long long offset = static_cast<long long>(sizeof(SCountedName));
    switch (input.Below(6))
    {
    case 0:
        offset = static_cast<long long>(input.Below(size + 2));
        break;
    case 1:
        offset = static_cast<long long>(size) + input.Pick(kPlaces);
        break;
    case 2:
        offset = -static_cast<long long>(1 + input.Below(64));
        break;
    default:
        break;
    }
    const std::uintptr_t pointed = input.OneIn(16) ? static_cast<std::uintptr_t>(input.Next())
                                                   : reinterpret_cast<std::uintptr_t>(data) + offset;
    name.buffer = reinterpret_cast<const wchar_t*>(pointed);
    if (size >= sizeof(SCountedName))
        std::memcpy(data, &name, sizeof(name));
    guarded.SetWritable(false);
    input.Show("name", std::string(data, std::min<std::size_t>(size, 64)));

    std::wstring text = L"left";
    const bool read = ReadObjectName(reinterpret_cast<const BYTE*>(data), size, text);
    if (size < sizeof(SCountedName) || name.length % sizeof(wchar_t) != 0)
    {
        Expect(!read && text.empty(), "a name shorter than its header, or of odd length, was read");
        return;
    }
    const std::uintptr_t begin = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t at = reinterpret_cast<std::uintptr_t>(name.buffer);
    const bool inside = name.length == 0 || (at >= begin && at <= begin + size && name.length <= begin + size - at);
    Expect(read == inside, inside ? "a name inside the bytes was refused" : "a name outside the bytes was read");
    if (!read)
    {
        Expect(text.empty(), "a refused name left text behind");
        return;
    }
    Expect(text.size() == name.length / sizeof(wchar_t) &&
               (name.length == 0 || std::memcmp(text.data(), name.buffer, name.length) == 0),
           "the name read is not the characters it names");
}
