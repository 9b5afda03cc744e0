// Arrays that a system call fills in, whose size it tells at run time.
#pragma once

#include <windows.h>

#include <cstddef>
#include <memory>
#include <new>

// Null, with the last error ERROR_OUTOFMEMORY, when the memory is not there.
template <typename T>
std::unique_ptr<T[]> AllocateBuffer(std::size_t count)
{
    std::unique_ptr<T[]> buffer(new (std::nothrow) T[count]);
    if (!buffer)
        ::SetLastError(ERROR_OUTOFMEMORY);
    return buffer;
}
