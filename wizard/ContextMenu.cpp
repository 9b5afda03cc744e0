#include "wizard/ContextMenu.h"

#include "engine/Handles.h"
#include "engine/ProgramPath.h"
#include "engine/Text.h"
#include "resources/orvgui/resource.h"
#include "window/WizardText.h"

#include <shlwapi.h>

#include <vector>

const char kContextMenuShellKey[] = "AllFileSystemObjects\\Shell";
const char kContextMenuVerbKey[] = "AllFileSystemObjects\\Shell\\Vessra";
const char kContextMenuCommandKey[] = "AllFileSystemObjects\\Shell\\Vessra\\Command";

namespace
{

bool Succeeded(LONG status)
{
    if (status == ERROR_SUCCESS)
        return true;
    ::SetLastError(static_cast<DWORD>(status));
    return false;
}

// Creates the key and sets the value as REG_SZ, its terminator counted in
// the length. Null value name: the key's default value.
bool WriteRegistryText(HKEY root, const char* subKey, const char* valueName, const std::string& text)
{
    CRegKey key;
    if (!Succeeded(::RegCreateKeyExA(root, subKey, 0, nullptr, 0, KEY_WRITE, nullptr, key.Receive(),
                                     nullptr)))
        return false;
    return Succeeded(::RegSetValueExA(key.Get(), valueName, 0, REG_SZ,
                                      reinterpret_cast<const BYTE*>(text.c_str()),
                                      static_cast<DWORD>(text.size() + 1)));
}

// RegDeleteKeyA takes the subkeys along on Windows 9x/Me, and removes a key
// that still holds values on every system: other programs' verbs and any
// value of their own must survive.
void DeleteKeyIfEmpty(HKEY root, const char* subKey)
{
    DWORD subKeys = 0;
    DWORD values = 0;
    {
        CRegKey key;
        if (::RegOpenKeyExA(root, subKey, 0, KEY_READ, key.Receive()) != ERROR_SUCCESS)
            return;
        if (::RegQueryInfoKeyA(key.Get(), nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr,
                               &values, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            return;
    }
    if (subKeys == 0 && values == 0)
        ::RegDeleteKeyA(root, subKey);
}

// The default value of the Command key as text; empty when it is missing,
// of another type or unreadable.
std::string ReadCommandValue()
{
    CRegKey key;
    if (::RegOpenKeyExA(HKEY_CLASSES_ROOT, kContextMenuCommandKey, 0, KEY_READ, key.Receive()) !=
        ERROR_SUCCESS)
        return std::string();
    DWORD type = REG_NONE;
    DWORD size = 0;
    if (::RegQueryValueExA(key.Get(), nullptr, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return std::string();

    // One byte more than the data, so that a value stored without its
    // terminator still ends.
    std::vector<char> data(static_cast<std::size_t>(size) + 1, '\0');
    DWORD read = size;
    if (::RegQueryValueExA(key.Get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                           &read) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return std::string();
    std::string text(data.data());
    if (type == REG_EXPAND_SZ)
    {
        char expanded[1024] = {};
        const DWORD length = ::ExpandEnvironmentStringsA(text.c_str(), expanded, sizeof(expanded));
        if (length == 0 || length > sizeof(expanded))
            return std::string();
        text = expanded;
    }
    return text;
}

} // namespace

std::string FormatContextMenuCommand(const std::string& programPath)
{
    return FormatText("\"%s\" \"%%1\"", programPath.c_str());
}

std::string GetCommandProgram(const std::string& command)
{
    const std::string text = TrimBlanks(command);
    if (text.empty())
        return std::string();
    if (text[0] == '"' && text.size() > 1)
    {
        const std::size_t end = text.find('"', 1);
        return end == std::string::npos ? std::string() : text.substr(1, end - 1);
    }
    const std::size_t blank = text.find(' ');
    return blank == std::string::npos ? std::string() : text.substr(0, blank);
}

bool InstallContextMenu()
{
    const std::string verb = LoadResourceText(IDS_CONTEXT_MENU_VERB);
    if (!WriteRegistryText(HKEY_CLASSES_ROOT, kContextMenuVerbKey, nullptr, verb))
        return false;
    const std::string program = GetProgramPath();
    if (program.empty())
        return false;
    return WriteRegistryText(HKEY_CLASSES_ROOT, kContextMenuCommandKey, nullptr,
                             FormatContextMenuCommand(program));
}

bool RemoveContextMenu()
{
    if (!Succeeded(static_cast<LONG>(::SHDeleteKeyA(HKEY_CLASSES_ROOT, kContextMenuVerbKey))))
        return false;
    DeleteKeyIfEmpty(HKEY_CLASSES_ROOT, kContextMenuShellKey);
    return true;
}

bool IsContextMenuInstalled()
{
    const std::string program = GetCommandProgram(ReadCommandValue());
    if (program.empty())
        return false;
    const std::string self = GetProgramPath();
    return !self.empty() && IsSameText(program, self);
}
