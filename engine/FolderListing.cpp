#include "engine/FolderListing.h"

#include "engine/ObjectPath.h"
#include "engine/SystemServices.h"
#include "engine/Text.h"

#include <shlwapi.h>

#include <cstring>

namespace
{

bool IsDotEntry(const char* name, DWORD attributes)
{
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
           (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0);
}

} // namespace

std::string ChooseEntryName(const std::string& name, bool nameExact, const std::string& shortName,
                            bool shortExact)
{
    if (nameExact && IsPlainName(name))
        return name;
    if (shortExact && IsPlainName(shortName))
        return shortName;
    return std::string();
}

std::string ShowName(const std::string& name)
{
    std::string shown = name;
    for (std::size_t i = 0; i < shown.size(); ++i)
    {
        const unsigned char c = static_cast<unsigned char>(shown[i]);
        if (::IsDBCSLeadByte(c) && i + 1 < shown.size())
            ++i;
        else if (c < 0x20 || std::strchr("\\/:*?\"<>|", c))
            shown[i] = '?';
    }
    return shown;
}

CFolderListing::CFolderListing(const std::string& folder)
{
    char pattern[MAX_PATH] = {};
    if (!CopyToBuffer(folder, pattern) || !::PathAppendA(pattern, "*.*"))
    {
        ::SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return;
    }

    // 9x/Me has no wide calls; its names are what its ANSI calls give.
    using FindFirstWideProc = HANDLE(WINAPI*)(LPCWSTR, LPWIN32_FIND_DATAW);
    FindFirstWideProc findFirstWide = nullptr;
    const HMODULE kernel = ::GetModuleHandleA("kernel32.dll");
    if (IsWindowsNT() && ResolveExport(kernel, "FindFirstFileW", findFirstWide) &&
        ResolveExport(kernel, "FindNextFileW", m_findNextWide))
        m_find.Reset(findFirstWide(AnsiToWide(pattern).c_str(), &m_wideData));
    else
        m_find.Reset(::FindFirstFileA(pattern, &m_data));
    m_pending = m_find.IsValid();
}

bool CFolderListing::Next(SFolderEntry& entry)
{
    if (!m_find.IsValid())
        return false;
    for (;;)
    {
        if (!m_pending && !(m_findNextWide ? m_findNextWide(m_find.Get(), &m_wideData)
                                           : ::FindNextFileA(m_find.Get(), &m_data)))
            return false;
        m_pending = false;

        if (m_findNextWide)
        {
            std::string name;
            std::string shortName;
            const bool nameExact = WideToAnsiExact(m_wideData.cFileName, name);
            const bool shortExact = WideToAnsiExact(m_wideData.cAlternateFileName, shortName);
            entry.attributes = m_wideData.dwFileAttributes;
            if (nameExact && IsDotEntry(name.c_str(), entry.attributes))
                continue;
            entry.name = ChooseEntryName(name, nameExact, shortName, shortExact);
            entry.shortName = shortExact && IsPlainName(shortName) && shortName != entry.name ? shortName : "";
            entry.shownName = ShowName(name);
        }
        else
        {
            entry.attributes = m_data.dwFileAttributes;
            if (IsDotEntry(m_data.cFileName, entry.attributes))
                continue;
            entry.name = ChooseEntryName(m_data.cFileName, true, m_data.cAlternateFileName, true);
            const std::string shortName = m_data.cAlternateFileName;
            entry.shortName = IsPlainName(shortName) && shortName != entry.name ? shortName : "";
            entry.shownName = ShowName(m_data.cFileName);
        }
        return true;
    }
}
