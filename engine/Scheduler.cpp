#include "Scheduler.h"

#include "Handles.h"
#include "ObjectPath.h"
#include "SystemServices.h"

#include <shlwapi.h>

#include <cstring>

namespace
{

char ToLowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Case-insensitive search over all `size` bytes (zero bytes included).
std::size_t FindNoCase(const char* text, std::size_t size, const char* pattern,
                       std::size_t patternLength)
{
    if (patternLength > size)
        return std::string::npos;
    for (std::size_t i = 0; i + patternLength <= size; ++i)
    {
        std::size_t j = 0;
        while (j < patternLength && ToLowerAscii(text[i + j]) == ToLowerAscii(pattern[j]))
            ++j;
        if (j == patternLength)
            return i;
    }
    return std::string::npos;
}

bool EndsLine(const char* text, std::size_t size)
{
    return size == 0 || text[size - 1] == '\n';
}

std::string ShortFormOrGiven(const char* path)
{
    char shortPath[MAX_PATH] = {};
    const DWORD length = ::GetShortPathNameA(path, shortPath, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return path;
    return shortPath;
}

} // namespace

std::string MakeWinInitLine(const std::string& left, const std::string& right)
{
    return left + "=" + right + "\r\n";
}

std::size_t WinInitGrowthLimit(std::size_t lineLength)
{
    // A line break before the header (or the line), the header, the line.
    return 2 + kRenameHeaderLength + lineLength;
}

std::size_t FindRenameSection(const char* text, std::size_t size)
{
    static const char kName[] = "[rename]";
    const std::size_t nameLength = sizeof(kName) - 1;
    for (std::size_t line = 0; line < size;)
    {
        std::size_t end = line;
        while (end < size && text[end] != '\n')
            ++end;
        if (end - line >= nameLength && FindNoCase(text + line, nameLength, kName, nameLength) == 0)
        {
            std::size_t rest = line + nameLength;
            while (rest < end && (text[rest] == ' ' || text[rest] == '\t' || text[rest] == '\r'))
                ++rest;
            if (rest == end)
                return end < size ? end + 1 : size;
        }
        line = end + 1;
    }
    return std::string::npos;
}

std::size_t InsertWinInitLine(char* text, std::size_t size, const std::string& line)
{
    const std::size_t n = line.size();
    const std::size_t sectionBody = FindRenameSection(text, size);
    if (sectionBody == std::string::npos)
    {
        // A file that does not end with a line break would glue the header
        // to its last line, and the system would not see the section.
        if (!EndsLine(text, size))
        {
            std::memcpy(text + size, "\r\n", 2);
            size += 2;
        }
        std::memcpy(text + size, kRenameHeader, kRenameHeaderLength);
        std::memcpy(text + size + kRenameHeaderLength, line.data(), n);
        return size + kRenameHeaderLength + n;
    }

    // The next section starts with a "[" at the start of a line; a "[" inside
    // a path of this section does not end it.
    std::size_t next = std::string::npos;
    for (std::size_t i = sectionBody; i < size; ++i)
    {
        if (text[i] == '[' && text[i - 1] == '\n')
        {
            next = i;
            break;
        }
    }

    if (next == std::string::npos)
    {
        if (!EndsLine(text, size))
        {
            std::memcpy(text + size, "\r\n", 2);
            size += 2;
        }
        std::memcpy(text + size, line.data(), n);
        return size + n;
    }

    std::memmove(text + next + n, text + next, size - next);
    std::memcpy(text + next, line.data(), n);
    return size + n;
}

bool AddWinInitRename(const char* givenExisting, const char* givenNewPath)
{
    // The system reads WinInit.Ini in its own folder: a relative path would
    // name another file there.
    std::string existing;
    std::string newPath;
    const bool hasNewPath = givenNewPath && *givenNewPath;
    if (!GetFullPath(givenExisting, existing) || (hasNewPath && !GetFullPath(givenNewPath, newPath)))
        return false;
    const std::string right = ShortFormOrGiven(existing.c_str());
    std::string left;
    if (!hasNewPath)
        left = ::PathIsDirectoryA(existing.c_str()) ? "DIRNUL" : "NUL";
    else
        left = ShortFormOrGiven(newPath.c_str());
    // The system splits the line at its first "=": a new path holding one
    // would name another file.
    if (left.find('=') != std::string::npos)
    {
        ::SetLastError(ERROR_INVALID_NAME);
        return false;
    }
    const std::string line = MakeWinInitLine(left, right);

    char path[MAX_PATH] = {};
    const UINT length = ::GetWindowsDirectoryA(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH || !::PathAppendA(path, "WinInit.Ini"))
        return false;

    // No sharing: no other writer may touch the file while it is mapped.
    CFileHandle file(::CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file)
        return false;

    DWORD high = 0;
    const DWORD size = ::GetFileSize(file.Get(), &high);
    if (size == INVALID_FILE_SIZE && ::GetLastError() != NO_ERROR)
        return false;
    if (high != 0 || size > 0x10000000)
    {
        ::SetLastError(ERROR_FILE_TOO_LARGE);
        return false;
    }

    // The mapping extends the file with zero bytes: room for the insertion.
    const DWORD mappedSize = size + static_cast<DWORD>(WinInitGrowthLimit(line.size()));
    std::size_t newSize = 0;
    {
        CHandle mapping(::CreateFileMappingA(file.Get(), nullptr, PAGE_READWRITE, 0, mappedSize,
                                             nullptr));
        if (!mapping)
            return false;
        CMappedView view(::MapViewOfFile(mapping.Get(), FILE_MAP_WRITE, 0, 0, mappedSize));
        if (!view)
        {
            // Cut the zero bytes the mapping added: the file keeps its size.
            const DWORD error = ::GetLastError();
            mapping.Reset();
            ::SetFilePointer(file.Get(), static_cast<LONG>(size), nullptr, FILE_BEGIN);
            ::SetEndOfFile(file.Get());
            ::SetLastError(error);
            return false;
        }
        newSize = InsertWinInitLine(static_cast<char*>(view.Get()), size, line);
    }

    // Cuts what the mapping reserved and the insertion did not use.
    if (::SetFilePointer(file.Get(), static_cast<LONG>(newSize), nullptr, FILE_BEGIN) ==
            INVALID_SET_FILE_POINTER && ::GetLastError() != NO_ERROR)
        return false;
    return ::SetEndOfFile(file.Get()) != FALSE;
}

bool MoveFileOnReboot(const char* existing, const char* newPath, bool replaceExisting)
{
    const bool hasNewPath = newPath && *newPath;
    // The restart renames; it cannot copy onto another drive, whatever the
    // letter or the spelling ("\\?\") that names it.
    if (hasNewPath && !IsSameVolume(existing, newPath))
    {
        ::SetLastError(ERROR_NOT_SAME_DEVICE);
        return false;
    }
    DWORD flags = MOVEFILE_DELAY_UNTIL_REBOOT;
    if (hasNewPath && replaceExisting && ::PathFileExistsA(newPath))
        flags |= MOVEFILE_REPLACE_EXISTING;

    if (::MoveFileExA(existing, hasNewPath ? newPath : nullptr, flags))
        return true;
    // Only 9x/Me answers "not implemented": the family is not asked otherwise.
    if (::GetLastError() != ERROR_CALL_NOT_IMPLEMENTED)
        return false;
    return AddWinInitRename(existing, newPath);
}
