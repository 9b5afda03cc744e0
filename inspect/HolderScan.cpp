#include "inspect/HolderScan.h"

void CHolderScan::AddOpeners(const CHolderList& openers, CHolderList& holders)
{
    for (const SHolder& opener : openers)
    {
        const DWORD processId = opener.processId;
        SHolder holder = opener;
        bool known = false;
        for (const SHolder& row : holders)
            known = known || (row.processId == processId && row.taskThreadId == 0 && !row.imagePath.empty());
        if (!known)
            holder.imagePath = ReadImagePath(processId);
        MergeHolder(holders, holder);
    }
}

bool CHolderScan::Scan(const std::string& path, CHolderList& holders)
{
    if (!HasHandleTable())
        return ScanModules(path, holders);

    // The handle table is read beside the module scan: both spend most of
    // their time waiting for the system, one call at a time.
    LoadPsapi();
    SOpenerSearch search{GetEnumProcesses(), path, {}};
    CHandle thread(::CreateThread(nullptr, 0, OpenerThread, &search, 0, nullptr));
    const bool loaded = ScanModules(path, holders);
    const DWORD error = ::GetLastError();
    if (thread)
        ::WaitForSingleObject(thread.Get(), INFINITE);
    else
        FindOpeners(path, search.enumProcesses, search.openers);
    // Without the module scan there is nothing to add to; a handle table
    // that could not be read leaves the module holders.
    if (loaded)
        AddOpeners(search.openers, holders);
    ::SetLastError(error);
    return loaded;
}

bool CHolderScan::ScanOpen(const std::string& path, CHolderList& holders)
{
    LoadPsapi();
    CHolderList openers;
    const bool complete = FindOpeners(path, GetEnumProcesses(), openers);
    const DWORD error = ::GetLastError();
    AddOpeners(openers, holders);
    ::SetLastError(error);
    return complete;
}

DWORD WINAPI CHolderScan::OpenerThread(void* parameter)
{
    auto* search = static_cast<SOpenerSearch*>(parameter);
    try
    {
        FindOpeners(search->path, search->enumProcesses, search->openers);
    }
    catch (...)
    {
    }
    return 0;
}
