/* Links into a build of orvline that meets MoveFileExA as Windows 9x/Me has
   it: not implemented (ERROR_CALL_NOT_IMPLEMENTED), delayed or not, so that
   the WinInit.Ini writer and the moves without MoveFileExA run under Wine.
   The program's calls go through the import pointer defined here, which
   keeps the real import out of the link. */
#include <windows.h>

static BOOL WINAPI NotImplementedMoveFileEx(LPCSTR existing, LPCSTR newName, DWORD flags)
{
    (void)existing;
    (void)newName;
    (void)flags;
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return FALSE;
}

#ifdef _WIN64
BOOL(WINAPI* const orvMoveFileExA)(LPCSTR, LPCSTR, DWORD) __asm__("__imp_MoveFileExA") =
    NotImplementedMoveFileEx;
#else
BOOL(WINAPI* const orvMoveFileExA)(LPCSTR, LPCSTR, DWORD) __asm__("__imp__MoveFileExA@12") =
    NotImplementedMoveFileEx;
#endif
