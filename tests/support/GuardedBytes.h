// Bytes handed to a parser in exactly as much memory as they take: flush
// against a page that may not be touched, after their end or before their
// start, so that reading (or writing) a single byte beyond them faults at
// once instead of going unseen.
#pragma once

#include <cstddef>
#include <string>

class CGuardedBytes
{
public:
    // AgainstEnd: the page after the last byte is the guard; AgainstStart:
    // the page before the first byte is.
    enum EPlace
    {
        AgainstEnd,
        AgainstStart,
    };

    // Read-only unless `writable`: a parser that is given const bytes must
    // not write them either.
    CGuardedBytes(const void* bytes, std::size_t size, EPlace place = AgainstEnd, bool writable = false);
    explicit CGuardedBytes(const std::string& bytes, EPlace place = AgainstEnd)
        : CGuardedBytes(bytes.data(), bytes.size(), place)
    {
    }
    ~CGuardedBytes();
    CGuardedBytes(const CGuardedBytes&) = delete;
    CGuardedBytes& operator=(const CGuardedBytes&) = delete;

    // Null when the memory could not be had.
    char* Data() const { return m_data; }
    std::size_t Size() const { return m_size; }

    // Makes the bytes writable or read-only again (to patch a pointer into
    // them once their address is known).
    void SetWritable(bool writable);

    // When `address` lies in the guard page of some bytes alive now: how far
    // past their end (0: the first byte after them) or, negative, before
    // their start (-1: the byte before the first). For a fault's report.
    static bool FindGuard(const void* address, long long& distance);

private:
    void* m_base = nullptr;
    std::size_t m_reserved = 0;
    char* m_data = nullptr;
    std::size_t m_size = 0;
    std::size_t m_page = 0;
    CGuardedBytes* m_next = nullptr;
};
