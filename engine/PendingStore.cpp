#include "PendingStore.h"

#include "FileInfo.h"
#include "SystemServices.h"

// Placeholder until the queue reader lands: reading fails honestly.
bool CFileInfoList::LoadPending()
{
    return IsWindowsNT() ? LoadPendingFromRegistry() : LoadPendingFromWinInit();
}

bool CFileInfoList::LoadPendingFromRegistry()
{
    ::SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return false;
}

bool CFileInfoList::LoadPendingFromWinInit()
{
    ::SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return false;
}

bool RemovePending()
{
    return IsWindowsNT() ? RemovePendingFromRegistry() : RemovePendingFromWinInit();
}

bool RemovePendingFromRegistry()
{
    ::SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return false;
}

bool RemovePendingFromWinInit()
{
    ::SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return false;
}
