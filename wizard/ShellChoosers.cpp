#include "wizard/ShellChoosers.h"

#include "engine/CodePage.h"
#include "engine/Handles.h"
#include "engine/SystemServices.h"
#include "engine/Text.h"
#include "resources/orvgui/resource.h"

#include <commdlg.h>

std::string MakeFileFilter(const std::string& text)
{
    std::string filter = text;
    for (char& c : filter)
    {
        if (c == '|')
            c = '\0';
    }
    // Two terminators end the list, whatever the text ended with.
    filter.append(2, '\0');
    return filter;
}

bool ChooseOpenFile(HWND owner, std::string& path)
{
    const std::string filter = MakeFileFilter(LoadResourceText(IDS_OPEN_FILE_FILTER));
    // Room for a path of MAX_PATH characters at three bytes each (UTF-8):
    // the page refuses one too long for a path buffer, never a cut one.
    char file[3 * MAX_PATH] = {};
    OPENFILENAMEA dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filter.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file;
    dialog.nMaxFile = sizeof(file);
    dialog.Flags = OFN_HIDEREADONLY | OFN_FILEMUSTEXIST | OFN_ENABLESIZING;
    // The dialog leaves this program standing in the last folder it showed,
    // which would then be refused as a source: the program goes back to
    // where it stood.
    char current[MAX_PATH] = {};
    const DWORD length = ::GetCurrentDirectoryA(MAX_PATH, current);
    const BOOL chosen = ::GetOpenFileNameA(&dialog);
    if (length != 0 && length < MAX_PATH)
        ::SetCurrentDirectoryA(current);
    if (!chosen)
        return false;
    path = file;
    return true;
}

bool ChooseFolder(HWND owner, std::string& path)
{
    const std::string title = LoadResourceText(IDS_BROWSE_FOLDER_TITLE);
    char displayName[MAX_PATH] = {};
    BROWSEINFOA browse{};
    browse.hwndOwner = owner;
    browse.pszDisplayName = displayName;
    browse.lpszTitle = title.c_str();
    browse.ulFlags = BIF_RETURNONLYFSDIRS;
    LPITEMIDLIST chosen = ::SHBrowseForFolderA(&browse);
    if (!chosen)
        return false;
    std::string folder;
    const bool isFileSystem = GetItemListPath(chosen, folder);
    ::CoTaskMemFree(chosen);
    if (!isFileSystem)
        return false;
    path = folder;
    return true;
}

bool GetItemListPath(LPCITEMIDLIST list, std::string& path)
{
    using GetPathWideProc = BOOL(WINAPI*)(LPCITEMIDLIST, LPWSTR);
    GetPathWideProc getPathWide = nullptr;
    const HMODULE shell = ::GetModuleHandleA("shell32.dll");
    if (IsWindowsNT() && shell && ResolveExport(shell, "SHGetPathFromIDListW", getPathWide))
    {
        wchar_t wide[MAX_PATH] = {};
        return getPathWide(list, wide) && WideToAnsiExact(wide, path) && !path.empty();
    }
    // Windows 9x/Me: the shell's names are those of the code page.
    char narrow[MAX_PATH] = {};
    if (!::SHGetPathFromIDListA(list, narrow))
        return false;
    path = narrow;
    return true;
}
