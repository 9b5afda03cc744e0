// The version resource of an executable file or loaded module.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

class CModuleVersion : public VS_FIXEDFILEINFO
{
public:
    CModuleVersion();
    virtual ~CModuleVersion() = default;

    CModuleVersion(const CModuleVersion&) = delete;
    CModuleVersion& operator=(const CModuleVersion&) = delete;

    // True when the file has a version resource with a valid fixed block.
    bool LoadFromFile(const std::string& path);
    // Null: the running program itself; otherwise a module already loaded.
    bool LoadFromModule(const char* moduleName);

    // A value of the language-specific string table ("CompanyName", ...);
    // empty when there is none.
    std::string GetStringValue(const char* name) const;

    WORD GetLanguage() const { return m_language; }
    WORD GetCodePage() const { return m_codePage; }

private:
    std::unique_ptr<BYTE[]> m_data;
    WORD m_language = 0;
    WORD m_codePage = 1252;
};

// The fixed block of a VS_VERSIONINFO resource as it is stored (its header,
// the key "VS_VERSION_INFO", padding to 32 bits, then the block). False for a
// block that is cut short, holds a shorter value or lacks the signature.
bool ParseFixedVersion(const BYTE* resource, std::size_t size, VS_FIXEDFILEINFO& fixed);

// The fixed block of the running program's own version resource, read from
// its image without the version library (which a console run need not load).
bool ReadProgramFixedVersion(VS_FIXEDFILEINFO& fixed);

// The file version as one unsigned 64-bit number: major, minor, build and
// revision decide in turn, each as the unsigned number it is.
ULONGLONG GetVersionOrder(DWORD fileVersionMS, DWORD fileVersionLS);

// A version line: `format` ("Version %d.%02d (build %d.%d)" or the like)
// filled with major, minor, build and revision, plus " [BETA]" for a
// pre-release.
std::string FormatVersionLine(const std::string& format, DWORD fileVersionMS,
                              DWORD fileVersionLS, DWORD fileFlags);

// False only when both files carry versions and the new one is lower.
bool IsNotOlderVersion(const std::string& currentFile, const std::string& newFile);
