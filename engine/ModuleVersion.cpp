#include "engine/ModuleVersion.h"

#include "engine/ProgramPath.h"
#include "engine/Text.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace
{

// A resource states its length in 16 bits; the library's area after the
// data is as long again, then its signature.
constexpr DWORD kLongestResourceRoom = 2 * 0x10000 + 8;

} // namespace

CModuleVersion::CModuleVersion()
    : VS_FIXEDFILEINFO()
{
}

bool CModuleVersion::LoadFromFile(const std::string& path)
{
    m_codePage = 1252;
    m_language = 0;
    static_cast<VS_FIXEDFILEINFO&>(*this) = VS_FIXEDFILEINFO();
    m_data.reset();

    DWORD handle = 0;
    DWORD size = ::GetFileVersionInfoSizeA(path.c_str(), &handle);
    if (size == 0)
        return false;
    // The library writes as far past the data as the resource's own length
    // says, not its real size: a signature after it and, for the ANSI
    // strings, a copy area as long again. A file may state any length:
    // room for the longest one a resource can state.
    size = std::max<DWORD>(size, kLongestResourceRoom);
    std::unique_ptr<BYTE[]> data(new (std::nothrow) BYTE[size]);
    if (!data)
    {
        ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    if (!::GetFileVersionInfoA(path.c_str(), 0, size, data.get()))
        return false;

    // A root block shorter than the fixed structure is not one.
    void* fixed = nullptr;
    UINT fixedLength = 0;
    if (!::VerQueryValueA(data.get(), "\\", &fixed, &fixedLength) || !fixed ||
        fixedLength < sizeof(VS_FIXEDFILEINFO))
        return false;
    std::memcpy(static_cast<VS_FIXEDFILEINFO*>(this), fixed, sizeof(VS_FIXEDFILEINFO));

    // Without a translation table the strings are looked up as language
    // neutral, code page 1252.
    void* translation = nullptr;
    UINT translationLength = 0;
    if (::VerQueryValueA(data.get(), "\\VarFileInfo\\Translation", &translation,
                         &translationLength) &&
        translation && translationLength >= 4)
    {
        DWORD first = 0;
        std::memcpy(&first, translation, sizeof(first));
        m_language = LOWORD(first);
        m_codePage = HIWORD(first);
    }
    if (dwSignature != VS_FFI_SIGNATURE)
        return false;
    // Only a successful load makes the strings available.
    m_data = std::move(data);
    return true;
}

bool ParseFixedVersion(const BYTE* resource, std::size_t size, VS_FIXEDFILEINFO& fixed)
{
    static const wchar_t kKey[] = L"VS_VERSION_INFO";
    const std::size_t header = 3 * sizeof(WORD);
    // The key with its terminator, then padding to a 32-bit boundary.
    const std::size_t value = (header + sizeof(kKey) + 3) & ~static_cast<std::size_t>(3);
    if (!resource || size < value + sizeof(VS_FIXEDFILEINFO))
        return false;
    WORD length = 0;
    WORD valueLength = 0;
    std::memcpy(&length, resource, sizeof(WORD));
    std::memcpy(&valueLength, resource + sizeof(WORD), sizeof(WORD));
    if (length > size || length < value + sizeof(VS_FIXEDFILEINFO) ||
        valueLength < sizeof(VS_FIXEDFILEINFO) ||
        std::memcmp(resource + header, kKey, sizeof(kKey)) != 0)
        return false;
    VS_FIXEDFILEINFO block{};
    std::memcpy(&block, resource + value, sizeof(block));
    if (block.dwSignature != 0xFEEF04BD)
        return false;
    fixed = block;
    return true;
}

bool ReadProgramFixedVersion(VS_FIXEDFILEINFO& fixed)
{
    const HMODULE module = ::GetModuleHandleA(nullptr);
    const HRSRC info = ::FindResourceA(module, MAKEINTRESOURCEA(VS_VERSION_INFO),
                                       MAKEINTRESOURCEA(16) /* RT_VERSION */);
    if (!info)
        return false;
    const HGLOBAL data = ::LoadResource(module, info);
    const void* bytes = data ? ::LockResource(data) : nullptr;
    return bytes && ParseFixedVersion(static_cast<const BYTE*>(bytes), ::SizeofResource(module, info), fixed);
}

bool CModuleVersion::LoadFromModule(const char* moduleName)
{
    if (!moduleName)
    {
        const std::string program = GetProgramPath();
        return !program.empty() && LoadFromFile(program);
    }
    const HMODULE module = ::GetModuleHandleA(moduleName);
    if (!module)
        return false;
    char path[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameA(module, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return false;
    return LoadFromFile(path);
}

std::string CModuleVersion::GetStringValue(const char* name) const
{
    if (!m_data || !name)
        return std::string();
    const std::string block =
        FormatText("\\StringFileInfo\\%04x%04x\\", m_language, m_codePage) + name;
    void* value = nullptr;
    UINT length = 0;
    if (!::VerQueryValueA(m_data.get(), block.c_str(), &value, &length) || !value)
        return std::string();
    // The value is zero-terminated; the length bounds the read in any case.
    const char* text = static_cast<const char*>(value);
    std::size_t size = 0;
    while (size < length && text[size] != '\0')
        ++size;
    return std::string(text, size);
}

ULONGLONG GetVersionOrder(DWORD fileVersionMS, DWORD fileVersionLS)
{
    return static_cast<ULONGLONG>(fileVersionMS) << 32 | fileVersionLS;
}

std::string FormatVersionLine(const std::string& format, DWORD fileVersionMS, DWORD fileVersionLS,
                              DWORD fileFlags)
{
    std::string line = FormatText(format.c_str(), HIWORD(fileVersionMS), LOWORD(fileVersionMS),
                                  HIWORD(fileVersionLS), LOWORD(fileVersionLS));
    if (fileFlags & VS_FF_PRERELEASE)
        line += " [BETA]";
    return line;
}

bool IsNotOlderVersion(const std::string& currentFile, const std::string& newFile)
{
    CModuleVersion current;
    if (!current.LoadFromFile(currentFile))
        return true;
    CModuleVersion candidate;
    if (!candidate.LoadFromFile(newFile))
        return true;
    return GetVersionOrder(candidate.dwFileVersionMS, candidate.dwFileVersionLS) >=
           GetVersionOrder(current.dwFileVersionMS, current.dwFileVersionLS);
}
