// orvgui: the wizard that deletes, renames, moves or replaces files and
// folders, also when they are in use.
#include "wizard/VessraApp.h"

#include <windows.h>

#include <cstdlib>

int WINAPI WinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, LPSTR /*commandLine*/,
                   int /*show*/)
{
    try
    {
        CVessraApp app;
        app.InitInstance(__argc, __argv);
    }
    catch (...)
    {
        // Out of memory before or after the wizard: nothing left to show.
    }
    return 0;
}
