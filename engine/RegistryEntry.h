// One autostart value (Run / Runonce of the user or the machine) that
// follows a file operation: deleted with the file, rewritten when the file
// gets a new path. On 64-bit Windows the machine's keys have two views, and
// the value is changed in the view it was read from.
#pragma once

#include <windows.h>

#include <string>

class CRegistryEntry
{
public:
    // view: KEY_WOW64_64KEY or KEY_WOW64_32KEY on 64-bit Windows, 0 where
    // the registry has one view (Windows 2000 refuses the flags).
    CRegistryEntry(HKEY hive, const std::string& keyPath, const std::string& valueName, REGSAM view = 0);
    virtual ~CRegistryEntry() = default;

    bool DeleteValue();
    bool UpdateValue(const std::string& newPath);

    // "HKCU\<key path>\<value name>" (or HKLM), the key path as the 64-bit
    // registry names it.
    std::string GetIdentity() const;
    std::string GetStatusText() const;
    std::string GetReportText() const;

    // The entry starts this file (case-insensitive comparison).
    bool operator==(const std::string& path) const;

    HKEY GetHive() const { return m_hive; }
    const std::string& GetKeyPath() const { return m_keyPath; }
    REGSAM GetView() const { return m_view; }
    // The key path as a 64-bit program (the registry editor) finds it.
    std::string GetViewedKeyPath() const { return GetViewKeyPath(m_keyPath, m_view); }
    const std::string& GetValueName() const { return m_valueName; }
    const std::string& GetFilePath() const { return m_filePath; }
    void SetFilePath(const std::string& path) { m_filePath = path; }
    // What followed the file part in the value's command line; kept when
    // the value is rewritten for a new path.
    const std::string& GetArguments() const { return m_arguments; }
    void SetArguments(const std::string& arguments) { m_arguments = arguments; }

    // The value's data as it stands now, whatever its length, as text up to
    // its first zero.
    bool ReadValueData(std::string& data) const;
    DWORD GetLastErrorCode() const { return m_lastError; }
    bool IsDeleted() const { return m_deleted; }

    // A key path of a view as a 64-bit program finds it: the 32-bit view of
    // a key below "Software" lies below "Software\Wow6432Node".
    static std::string GetViewKeyPath(const std::string& keyPath, REGSAM view);

private:
    HKEY m_hive;
    std::string m_keyPath;
    std::string m_valueName;
    REGSAM m_view;
    std::string m_filePath;
    std::string m_arguments;
    DWORD m_lastError = 0;
    bool m_deleted = false;
};

// The value data written for a new path: quoted when it holds a blank, so
// that Windows cannot start "C:\Program.exe" in place of the file, and when
// arguments follow it (after one blank), so that the scan reads the file
// back: unquoted, "C:\t\a.exe /config c.ini" would be one file whose
// extension is ".ini".
std::string MakeRunValueData(const std::string& path, const std::string& arguments = std::string());

// Reads a value of an open key as text: at most maxBytes bytes of data, cut
// at the first zero. The text ends inside the buffer whatever the registry
// returns, terminator or not. The registry's result code: ERROR_MORE_DATA
// for longer data.
LONG ReadRegistryText(HKEY key, const char* name, DWORD maxBytes, std::string& text, DWORD& type);
