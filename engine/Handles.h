// Move-only owners of Windows handles. Closing never disturbs the caller's
// last-error value, so a failure path can close what it opened and still
// report the code of the call that failed.
#pragma once

#include <windows.h>

#include <utility>

template <typename Traits>
class CUniqueHandle
{
public:
    using Type = typename Traits::Type;

    CUniqueHandle() noexcept : m_h(Traits::Invalid()) {}
    explicit CUniqueHandle(Type h) noexcept : m_h(h) {}
    ~CUniqueHandle() { Reset(); }

    CUniqueHandle(const CUniqueHandle&) = delete;
    CUniqueHandle& operator=(const CUniqueHandle&) = delete;

    CUniqueHandle(CUniqueHandle&& other) noexcept : m_h(other.Release()) {}
    CUniqueHandle& operator=(CUniqueHandle&& other) noexcept
    {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }

    Type Get() const noexcept { return m_h; }
    bool IsValid() const noexcept { return m_h != Traits::Invalid(); }
    explicit operator bool() const noexcept { return IsValid(); }

    // For out-parameters of calls that create the handle.
    Type* Receive() noexcept
    {
        Reset();
        return &m_h;
    }

    Type Release() noexcept
    {
        Type h = m_h;
        m_h = Traits::Invalid();
        return h;
    }

    void Reset(Type h = Traits::Invalid()) noexcept
    {
        if (m_h != Traits::Invalid())
        {
            const DWORD error = ::GetLastError();
            Traits::Close(m_h);
            ::SetLastError(error);
        }
        m_h = h;
    }

private:
    Type m_h;
};

struct CKernelHandleTraits
{
    using Type = HANDLE;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::CloseHandle(h); }
};

// CreateFile answers INVALID_HANDLE_VALUE, not null, on failure.
struct CFileHandleTraits
{
    using Type = HANDLE;
    static Type Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) noexcept { ::CloseHandle(h); }
};

struct CFindHandleTraits
{
    using Type = HANDLE;
    static Type Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) noexcept { ::FindClose(h); }
};

struct CRegKeyTraits
{
    using Type = HKEY;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::RegCloseKey(h); }
};

struct CModuleTraits
{
    using Type = HMODULE;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::FreeLibrary(h); }
};

struct CMappedViewTraits
{
    using Type = void*;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::UnmapViewOfFile(h); }
};

struct CGdiObjectTraits
{
    using Type = HGDIOBJ;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::DeleteObject(h); }
};

struct CLocalMemoryTraits
{
    using Type = HLOCAL;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::LocalFree(h); }
};

using CHandle = CUniqueHandle<CKernelHandleTraits>;
using CFileHandle = CUniqueHandle<CFileHandleTraits>;
using CFindHandle = CUniqueHandle<CFindHandleTraits>;
using CRegKey = CUniqueHandle<CRegKeyTraits>;
using CModule = CUniqueHandle<CModuleTraits>;
using CMappedView = CUniqueHandle<CMappedViewTraits>;
using CGdiObject = CUniqueHandle<CGdiObjectTraits>;
using CLocalMemory = CUniqueHandle<CLocalMemoryTraits>;

// An export of a loaded module as the typed entry point; false, with the entry
// point null, when the module lacks it.
template <typename Proc>
bool ResolveExport(HMODULE module, const char* name, Proc& proc)
{
    proc = reinterpret_cast<Proc>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
    return proc != nullptr;
}
