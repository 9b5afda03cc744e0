#include "engine/RegistryEntry.h"

#include "engine/Handles.h"
#include "engine/StringIds.h"
#include "engine/SystemServices.h"
#include "engine/Text.h"

#include <vector>

CRegistryEntry::CRegistryEntry(HKEY hive, const std::string& keyPath, const std::string& valueName, REGSAM view)
    : m_hive(hive), m_keyPath(keyPath), m_valueName(valueName), m_view(view)
{
}

bool CRegistryEntry::DeleteValue()
{
    CRegKey key;
    LONG result = ::RegOpenKeyExA(m_hive, m_keyPath.c_str(), 0, KEY_SET_VALUE | m_view, key.Receive());
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
    const std::string data = MakeRunValueData(newPath, m_arguments);
    CRegKey key;
    LONG result = ::RegOpenKeyExA(m_hive, m_keyPath.c_str(), 0, KEY_SET_VALUE | m_view, key.Receive());
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
    return std::string(m_hive == HKEY_CURRENT_USER ? "HKCU" : "HKLM") + "\\" + GetViewedKeyPath() + "\\" +
           m_valueName;
}

std::string CRegistryEntry::GetViewKeyPath(const std::string& keyPath, REGSAM view)
{
    static const char kSoftware[] = "Software\\";
    const std::size_t length = sizeof(kSoftware) - 1;
    if (view != KEY_WOW64_32KEY || keyPath.size() < length || !IsSameText(keyPath.substr(0, length), kSoftware))
        return keyPath;
    return keyPath.substr(0, length) + "Wow6432Node\\" + keyPath.substr(length);
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

bool CRegistryEntry::ReadValueData(std::string& data) const
{
    CRegKey key;
    LONG result = ::RegOpenKeyExA(m_hive, m_keyPath.c_str(), 0, KEY_QUERY_VALUE | m_view, key.Receive());
    DWORD size = 0;
    if (result == ERROR_SUCCESS)
        result = ::RegQueryValueExA(key.Get(), m_valueName.c_str(), nullptr, nullptr, nullptr, &size);
    DWORD type = 0;
    if (result == ERROR_SUCCESS)
        result = ReadRegistryText(key.Get(), m_valueName.c_str(), size, data, type);
    key.Reset();
    ::SetLastError(static_cast<DWORD>(result));
    return result == ERROR_SUCCESS;
}

std::string MakeRunValueData(const std::string& path, const std::string& arguments)
{
    std::string data = path.find(' ') == std::string::npos && arguments.empty() ? path : "\"" + path + "\"";
    if (!arguments.empty())
        data += " " + arguments;
    return data;
}

LONG ReadRegistryText(HKEY key, const char* name, DWORD maxBytes, std::string& text, DWORD& type)
{
    // One byte more than the registry may fill, so that data without a
    // terminator still ends inside the buffer.
    std::vector<char> buffer(static_cast<std::size_t>(maxBytes) + 1, '\0');
    DWORD size = maxBytes;
    type = REG_NONE;
    const LONG result = ::RegQueryValueExA(key, name, nullptr, &type,
                                           reinterpret_cast<BYTE*>(buffer.data()), &size);
    if (result != ERROR_SUCCESS)
        return result;
    buffer[size < maxBytes ? size : maxBytes] = '\0';
    text.assign(buffer.data());
    return ERROR_SUCCESS;
}
