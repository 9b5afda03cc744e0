/* A program that imports GetTickCount64 (Windows Vista and later): the
   import check of the deliverables must refuse it. */
#define _WIN32_WINNT 0x0600
#include <windows.h>

int main(void)
{
    return (int)(GetTickCount64() & 1);
}
