// One autostart value (Run / Runonce of the user or the machine) that
// follows a file operation: deleted with the file, rewritten when the file
// gets a new path.
#pragma once

#include <windows.h>

#include <string>

class CRegistryEntry
{
public:
    CRegistryEntry(HKEY hive, const std::string& keyPath, const std::string& valueName);
    virtual ~CRegistryEntry() = default;

    bool DeleteValue();
    bool UpdateValue(const std::string& newPath);

    // "HKCU\<key path>\<value name>" (or HKLM).
    std::string GetIdentity() const;
    std::string GetStatusText() const;
    std::string GetReportText() const;

    // The entry starts this file (case-insensitive comparison).
    bool operator==(const std::string& path) const;

    HKEY GetHive() const { return m_hive; }
    const std::string& GetKeyPath() const { return m_keyPath; }
    const std::string& GetValueName() const { return m_valueName; }
    const std::string& GetFilePath() const { return m_filePath; }
    void SetFilePath(const std::string& path) { m_filePath = path; }
    DWORD GetLastErrorCode() const { return m_lastError; }
    bool IsDeleted() const { return m_deleted; }

private:
    HKEY m_hive;
    std::string m_keyPath;
    std::string m_valueName;
    std::string m_filePath;
    DWORD m_lastError = 0;
    bool m_deleted = false;
};

// The value data written for a new path: quoted when it holds a blank, so
// that Windows cannot start "C:\Program.exe" in place of the file.
std::string MakeRunValueData(const std::string& path);
