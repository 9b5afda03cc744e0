#include "engine/FileReplace.h"

#include "engine/Handles.h"
#include "engine/Scheduler.h"
#include "engine/SystemServices.h"
#include "engine/TemporaryFiles.h"
#include "engine/Text.h"

#include <windows.h>

#include <shlwapi.h>

#include <new>
#include <vector>

namespace
{

// The attributes that a file can be given; the rest the system keeps.
constexpr DWORD kSettableAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                      FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                      FILE_ATTRIBUTE_NOT_CONTENT_INDEXED | FILE_ATTRIBUTE_OFFLINE;

// The folder that holds a path, in a path buffer.
bool GetFolder(const std::string& path, char (&folder)[MAX_PATH])
{
    if (CopyToBuffer(path, folder) && ::PathRemoveFileSpecA(folder))
        return true;
    ::SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return false;
}

// A volume that keeps no security (FAT) has none to give.
bool KeepsNoSecurity(DWORD error)
{
    return error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_FUNCTION ||
           error == ERROR_CALL_NOT_IMPLEMENTED;
}

// The security of one file given to another: its access list, with its
// owner and group where this account may give them (NT family; the calls
// are looked up, 9x/Me lacks them). Throws std::bad_alloc.
bool CopySecurity(const std::string& from, const std::string& to)
{
    using GetSecurityProc = BOOL(WINAPI*)(LPCSTR, SECURITY_INFORMATION, PSECURITY_DESCRIPTOR, DWORD, LPDWORD);
    using SetSecurityProc = BOOL(WINAPI*)(LPCSTR, SECURITY_INFORMATION, PSECURITY_DESCRIPTOR);
    CModule advapi(::LoadLibraryA("ADVAPI32.DLL"));
    GetSecurityProc getSecurity = nullptr;
    SetSecurityProc setSecurity = nullptr;
    if (!advapi || !ResolveExport(advapi.Get(), "GetFileSecurityA", getSecurity) ||
        !ResolveExport(advapi.Get(), "SetFileSecurityA", setSecurity))
        return true;

    const SECURITY_INFORMATION all =
        OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
    DWORD size = 0;
    if (!getSecurity(from.c_str(), all, nullptr, 0, &size) && ::GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return KeepsNoSecurity(::GetLastError());
    std::vector<BYTE> descriptor(size ? size : 1);
    if (!getSecurity(from.c_str(), all, descriptor.data(), static_cast<DWORD>(descriptor.size()), &size))
        return false;
    return setSecurity(to.c_str(), all, descriptor.data()) ||
           setSecurity(to.c_str(), DACL_SECURITY_INFORMATION, descriptor.data());
}

// The complete copy made to outlast a power cut, then given what the file it
// replaces has (`target`: its attributes; INVALID_FILE_ATTRIBUTES when there
// is none, and the copy keeps the source's).
bool FinishCopy(const std::string& copy, const std::string& destination, DWORD target)
{
    const DWORD own = ::GetFileAttributesA(copy.c_str());
    if (own == INVALID_FILE_ATTRIBUTES || !::SetFileAttributesA(copy.c_str(), FILE_ATTRIBUTE_NORMAL))
        return false;
    {
        CFileHandle file(::CreateFileA(copy.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        if (!file || !::FlushFileBuffers(file.Get()))
            return false;
    }
    if (target != INVALID_FILE_ATTRIBUTES && IsWindowsNT() && !CopySecurity(destination, copy))
        return false;
    const DWORD kept = (target != INVALID_FILE_ATTRIBUTES ? target : own) & kSettableAttributes;
    return ::SetFileAttributesA(copy.c_str(), kept ? kept : FILE_ATTRIBUTE_NORMAL) != FALSE;
}

// 9x/Me cannot rename onto an existing file: the old file steps aside under
// its own name and ".~orv", the new one takes its name, and only then is the
// old one deleted (at the restart if it is still in use). When the new one
// cannot take the name, the old one comes back; when the run ends in
// between, the next run in the folder brings it back.
bool SwapIn(const char* source, const std::string& destination)
{
    if (::GetFileAttributesA(destination.c_str()) == INVALID_FILE_ATTRIBUTES)
        return ::MoveFileA(source, destination.c_str()) != FALSE;

    std::string aside;
    if (!GetAsidePath(destination, aside))
        return false;
    // One left by an earlier swap that was done.
    RemoveTemporaryFile(aside);
    if (!::MoveFileA(destination.c_str(), aside.c_str()))
        return false;
    if (!::MoveFileA(source, destination.c_str()))
    {
        const DWORD error = ::GetLastError();
        ::MoveFileA(aside.c_str(), destination.c_str());
        ::SetLastError(error);
        return false;
    }
    ::SetFileAttributesA(aside.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!::DeleteFileA(aside.c_str()))
        MoveFileOnReboot(aside.c_str(), nullptr);
    return true;
}

} // namespace

bool CopyBeside(const std::string& source, const std::string& destination, std::string& copy)
{
    copy.clear();
    const DWORD target = ::GetFileAttributesA(destination.c_str());
    if (target != INVALID_FILE_ATTRIBUTES && (target & FILE_ATTRIBUTE_DIRECTORY))
    {
        ::SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }

    // In the destination's own folder: the swap is a rename on one volume.
    char folder[MAX_PATH] = {};
    std::string path;
    if (!GetFolder(destination, folder) || !CreateTemporaryFile(folder, path))
        return false;
    bool made = false;
    try
    {
        made = ::CopyFileA(source.c_str(), path.c_str(), FALSE) && FinishCopy(path, destination, target);
    }
    catch (const std::bad_alloc&)
    {
        ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    }
    if (!made)
    {
        RemoveTemporaryFile(path);
        return false;
    }
    copy = path;
    return true;
}

bool PutCopyInPlace(const std::string& copy, const std::string& destination)
{
    if (MoveReplacing(copy, destination))
        return true;
    // A read-only file is not replaced by a rename on every system: it
    // gives way for the move, and gets the bit back when the move fails.
    const DWORD error = ::GetLastError();
    const DWORD target = ::GetFileAttributesA(destination.c_str());
    const DWORD writable = target & kSettableAttributes & ~FILE_ATTRIBUTE_READONLY;
    if (error != ERROR_ACCESS_DENIED || target == INVALID_FILE_ATTRIBUTES ||
        !(target & FILE_ATTRIBUTE_READONLY) ||
        !::SetFileAttributesA(destination.c_str(), writable ? writable : FILE_ATTRIBUTE_NORMAL))
    {
        ::SetLastError(error);
        return false;
    }
    if (MoveReplacing(copy, destination))
        return true;
    const DWORD again = ::GetLastError();
    ::SetFileAttributesA(destination.c_str(), target & kSettableAttributes);
    ::SetLastError(again);
    return false;
}

bool ReplaceWithCopy(const std::string& source, const std::string& destination)
{
    std::string copy;
    if (!CopyBeside(source, destination, copy))
        return false;
    if (PutCopyInPlace(copy, destination))
        return true;
    RemoveTemporaryFile(copy);
    return false;
}

bool MoveReplacing(const std::string& source, const std::string& destination)
{
    if (IsWindowsNT())
    {
        if (::MoveFileExA(source.c_str(), destination.c_str(), MOVEFILE_REPLACE_EXISTING))
            return true;
        // A system that answers like 9x/Me has no replacing move either.
        if (::GetLastError() != ERROR_CALL_NOT_IMPLEMENTED)
            return false;
    }
    return SwapIn(source.c_str(), destination);
}
