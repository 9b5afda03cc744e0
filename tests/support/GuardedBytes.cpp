#include "tests/support/GuardedBytes.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/mman.h>
#include <unistd.h>
#endif

#include <cstring>

namespace
{

// The bytes alive now, for the report of a fault in one of their guards.
CGuardedBytes* g_live = nullptr;

enum EAccess
{
    NoAccess,
    ReadOnly,
    ReadWrite,
};

#if defined(_WIN32)
std::size_t PageSize()
{
    SYSTEM_INFO info = {};
    ::GetSystemInfo(&info);
    return info.dwPageSize;
}

void* Reserve(std::size_t size)
{
    return ::VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_NOACCESS);
}

bool Protect(void* at, std::size_t size, EAccess access)
{
    static const DWORD kProtection[] = {PAGE_NOACCESS, PAGE_READONLY, PAGE_READWRITE};
    DWORD old = 0;
    return ::VirtualProtect(at, size, kProtection[access], &old) != FALSE;
}

void Release(void* base, std::size_t)
{
    ::VirtualFree(base, 0, MEM_RELEASE);
}
#else
// Natively, for the parsers built under the sanitizers.
std::size_t PageSize()
{
    return static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
}

void* Reserve(std::size_t size)
{
    void* base = mmap(nullptr, size, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return base == MAP_FAILED ? nullptr : base;
}

bool Protect(void* at, std::size_t size, EAccess access)
{
    static const int kProtection[] = {PROT_NONE, PROT_READ, PROT_READ | PROT_WRITE};
    return mprotect(at, size, kProtection[access]) == 0;
}

void Release(void* base, std::size_t size)
{
    munmap(base, size);
}
#endif

} // namespace

// A guard page on both sides: [guard][data pages][guard], the bytes flush
// against the one asked for.
CGuardedBytes::CGuardedBytes(const void* bytes, std::size_t size, EPlace place, bool writable)
    : m_size(size), m_page(PageSize())
{
    const std::size_t dataPages = (size + m_page - 1) / m_page + (size == 0 ? 1 : 0);
    m_reserved = (dataPages + 2) * m_page;
    m_base = Reserve(m_reserved);
    if (!m_base)
        return;
    char* const first = static_cast<char*>(m_base) + m_page;
    if (!Protect(first, dataPages * m_page, ReadWrite))
        return;
    m_data = place == AgainstEnd ? first + dataPages * m_page - size : first;
    if (size)
        std::memcpy(m_data, bytes, size);
    SetWritable(writable);
    m_next = g_live;
    g_live = this;
}

CGuardedBytes::~CGuardedBytes()
{
    for (CGuardedBytes** link = &g_live; *link; link = &(*link)->m_next)
    {
        if (*link == this)
        {
            *link = m_next;
            break;
        }
    }
    if (m_base)
        Release(m_base, m_reserved);
}

void CGuardedBytes::SetWritable(bool writable)
{
    if (m_base)
        Protect(static_cast<char*>(m_base) + m_page, m_reserved - 2 * m_page, writable ? ReadWrite : ReadOnly);
}

bool CGuardedBytes::FindGuard(const void* address, long long& distance)
{
    const char* const at = static_cast<const char*>(address);
    for (const CGuardedBytes* bytes = g_live; bytes; bytes = bytes->m_next)
    {
        const char* const base = static_cast<const char*>(bytes->m_base);
        const char* const end = base + bytes->m_reserved;
        if (at >= base && at < base + bytes->m_page)
        {
            distance = at - bytes->m_data;
            return true;
        }
        if (at >= end - bytes->m_page && at < end)
        {
            distance = at - (bytes->m_data + bytes->m_size);
            return true;
        }
    }
    return false;
}
