#include "engine/Scheduler.h"

#include "engine/Handles.h"
#include "engine/ObjectPath.h"
#include "engine/SystemServices.h"
#include "engine/Text.h"

#include <shlwapi.h>

#include <cstring>

namespace
{

enum class EIniLine
{
    Other,
    RenameHeader,
    SectionHeader,
};

// What one line (its bytes without the line feed) is.
EIniLine ClassifyIniLine(const char* line, std::size_t length, bool first)
{
    static const char kBom[] = "\xEF\xBB\xBF";
    if (first && length >= 3 && std::memcmp(line, kBom, 3) == 0)
    {
        line += 3;
        length -= 3;
    }
    const void* zero = std::memchr(line, '\0', length);
    if (zero)
        length = static_cast<std::size_t>(static_cast<const char*>(zero) - line);
    std::size_t i = 0;
    while (i < length && IsBlank(line[i]))
        ++i;
    if (i == length || line[i] != '[')
        return EIniLine::Other;
    static const char kName[] = "[rename]";
    const std::size_t nameLength = sizeof(kName) - 1;
    if (length - i < nameLength || ::_strnicmp(line + i, kName, nameLength) != 0)
        return EIniLine::SectionHeader;
    for (i += nameLength; i < length && IsBlank(line[i]);)
        ++i;
    return i == length || line[i] == ';' ? EIniLine::RenameHeader : EIniLine::SectionHeader;
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

SRenameSection FindRenameSection(const char* text, std::size_t size)
{
    SRenameSection section;
    const void* mark = std::memchr(text, '\x1a', size);
    section.textEnd = mark ? static_cast<std::size_t>(static_cast<const char*>(mark) - text) : size;
    for (std::size_t line = 0; line < section.textEnd;)
    {
        std::size_t end = line;
        while (end < section.textEnd && text[end] != '\n')
            ++end;
        const std::size_t next = end < section.textEnd ? end + 1 : end;
        const EIniLine kind = ClassifyIniLine(text + line, end - line, line == 0);
        if (section.body == std::string::npos)
        {
            if (kind == EIniLine::RenameHeader)
                section.body = next;
        }
        else if (kind != EIniLine::Other)
        {
            section.bodyEnd = line;
            return section;
        }
        line = next;
    }
    if (section.body != std::string::npos)
        section.bodyEnd = section.textEnd;
    return section;
}

std::size_t InsertWinInitLine(char* text, std::size_t size, const std::string& line)
{
    // Everything is written before the end-of-text mark, where the readers
    // still see it, and before the next section's line, whatever its indent.
    const SRenameSection section = FindRenameSection(text, size);
    const bool hasSection = section.body != std::string::npos;
    const std::size_t at = hasSection ? section.bodyEnd : section.textEnd;
    std::string inserted;
    // A text that does not end its last line would glue the new line to it.
    if (at > 0 && at == section.textEnd && !EndsLine(text, at))
        inserted = "\r\n";
    if (!hasSection)
        inserted += kRenameHeader;
    inserted += line;
    std::memmove(text + at + inserted.size(), text + at, size - at);
    std::memcpy(text + at, inserted.data(), inserted.size());
    return size + inserted.size();
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
