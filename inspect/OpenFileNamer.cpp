#include "inspect/OpenFileNamer.h"

#include "engine/Handles.h"
#include "engine/SystemServices.h"
#include "engine/Text.h"
#include "inspect/HandleTable.h"
#include "inspect/HeapBuffer.h"

#include <memory>

namespace
{

constexpr LONG kStatusInfoLengthMismatch = static_cast<LONG>(0xC0000004);
constexpr LONG kStatusBufferTooSmall = static_cast<LONG>(0xC0000023);
constexpr LONG kStatusBufferOverflow = static_cast<LONG>(0x80000005);
constexpr ULONG kObjectNameInformation = 1;

} // namespace

const DWORD kNameQueryLimitMs = 1000;

bool COpenFileNamer::Open(const std::string& path)
{
    const HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
    if (!ntdll || !ResolveExport(ntdll, "NtQueryObject", m_queryObject))
    {
        ::SetLastError(ERROR_NOT_SUPPORTED);
        return false;
    }
    m_devices = ReadDosDevices();
    m_target = path;
    GetLongPath(m_target);
    m_target = WithFirstLetterOfItsVolume(m_target, m_devices);
    return true;
}

bool COpenFileNamer::Name(HANDLE handle, std::string& path) const
{
    if (!m_queryObject || ::GetFileType(handle) != FILE_TYPE_DISK)
        return false;
    std::wstring name;
    std::string ansi;
    if (!QueryName(handle, name) || !WideNameToAnsiExact(name, ansi))
        return false;
    path = MapNativePath(ansi, m_devices);
    return !path.empty();
}

bool COpenFileNamer::IsOnTarget(const std::string& path) const
{
    std::string found = path;
    if (found.find('~') != std::string::npos)
        GetLongPath(found);
    return IsAtOrBelow(found, m_target);
}

bool COpenFileNamer::QueryName(HANDLE handle, std::wstring& name) const
{
    // Most names fit; a longer one is asked once more at its size.
    ULONG_PTR local[256];
    ULONG returned = 0;
    LONG status = m_queryObject(handle, kObjectNameInformation, local, sizeof(local), &returned);
    if (status >= 0)
        return ReadObjectName(reinterpret_cast<const BYTE*>(local), sizeof(local), name);
    if ((status != kStatusBufferOverflow && status != kStatusInfoLengthMismatch &&
         status != kStatusBufferTooSmall) ||
        returned <= sizeof(local) || returned > kMaxObjectNameBytes)
        return false;
    const std::size_t words = (returned + sizeof(ULONG_PTR) - 1) / sizeof(ULONG_PTR);
    const std::unique_ptr<ULONG_PTR[]> buffer = AllocateBuffer<ULONG_PTR>(words);
    if (!buffer)
        return false;
    const ULONG size = static_cast<ULONG>(words * sizeof(ULONG_PTR));
    status = m_queryObject(handle, kObjectNameInformation, buffer.get(), size, &returned);
    return status >= 0 && ReadObjectName(reinterpret_cast<const BYTE*>(buffer.get()), size, name);
}
