#include "engine/FileBytes.h"

#include <algorithm>

bool ReadToEnd(HANDLE file, std::string& bytes)
{
    char chunk[16384];
    DWORD read = 0;
    for (;;)
    {
        if (!::ReadFile(file, chunk, sizeof(chunk), &read, nullptr))
            return false;
        if (read == 0)
            return true;
        bytes.append(chunk, read);
    }
}

bool WriteAll(HANDLE file, const std::string& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size())
    {
        // Old consoles refuse one large write; pieces of 64 KB pass everywhere.
        const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 0x10000));
        DWORD written = 0;
        if (!::WriteFile(file, bytes.data() + done, piece, &written, nullptr))
            return false;
        if (written == 0)
        {
            ::SetLastError(ERROR_WRITE_FAULT);
            return false;
        }
        done += written;
    }
    return true;
}
