#include "RegistryEntry.h"

#include "Handles.h"
#include "StringIds.h"
#include "SystemServices.h"
#include "Text.h"

CRegistryEntry::CRegistryEntry(HKEY hive, const std::string& keyPath, const std::string& valueName)
    : m_hive(hive), m_keyPath(keyPath), m_valueName(valueName)
{
}

bool CRegistryEntry::DeleteValue()
{
    CRegKey key;
    LONG result = ::RegOpenKeyExA(m_hive, m_keyPath.c_str(), 0, KEY_SET_VALUE, key.Receive());
    if (result == ERROR_SUCCESS)
        result = ::RegDeleteValueA(key.Get(), m_valueName.c_str());
    key.Reset();
    m_deleted = true;
    m_lastError = static_cast<DWORD>(result);
    ::SetLastError(m_lastError);
    return m_lastError == ERROR_SUCCESS;
}

bool CRegistryEntry::UpdateValue(const std::string& newPath)
{
    const std::string data = MakeRunValueData(newPath);
    CRegKey key;
    LONG result = ::RegOpenKeyExA(m_hive, m_keyPath.c_str(), 0, KEY_SET_VALUE, key.Receive());
    if (result == ERROR_SUCCESS)
        result = ::RegSetValueExA(key.Get(), m_valueName.c_str(), 0, REG_SZ,
                                  reinterpret_cast<const BYTE*>(data.c_str()),
                                  static_cast<DWORD>(data.size() + 1));
    key.Reset();
    m_deleted = false;
    m_lastError = static_cast<DWORD>(result);
    ::SetLastError(m_lastError);
    return m_lastError == ERROR_SUCCESS;
}

std::string CRegistryEntry::GetIdentity() const
{
    return std::string(m_hive == HKEY_CURRENT_USER ? "HKCU" : "HKLM") + "\\" + m_keyPath + "\\" +
           m_valueName;
}

std::string CRegistryEntry::GetStatusText() const
{
    if (m_lastError != 0)
        return GetErrorText(m_lastError);
    return LoadResourceText(m_deleted ? IDS_ENGINE_STATUS_DELETED : IDS_ENGINE_STATUS_UPDATED);
}

std::string CRegistryEntry::GetReportText() const
{
    return GetIdentity() + "\n" + LoadResourceText(IDS_ENGINE_STATUS_LABEL) + ": " +
           GetStatusText() + "\n\n";
}

bool CRegistryEntry::operator==(const std::string& path) const
{
    return IsSameText(m_filePath, path);
}

std::string MakeRunValueData(const std::string& path)
{
    if (path.find(' ') == std::string::npos)
        return path;
    return "\"" + path + "\"";
}
