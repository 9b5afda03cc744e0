// orvgui: the wizard that deletes, renames, moves or replaces files and
// folders, also when they are in use.
#include "engine/NativeProgram.h"
#include "engine/ProgramPath.h"
#include "resources/orvgui/resource.h"
#include "window/WizardMessages.h"
#include "wizard/VessraApp.h"

#include <windows.h>

#include <cstdlib>

int WINAPI WinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, LPSTR /*commandLine*/,
                   int /*show*/)
{
    try
    {
        // On 64-bit Windows the 64-bit build runs the wizard, never this one
        // through the system's redirections.
        if (NeedsNativeProgram())
        {
            DWORD exitCode = 0;
            if (RunNativeProgram(exitCode))
                return static_cast<int>(exitCode);
            SetMessageTexts(IDS_PRODUCT_NAME, IDS_ERROR_CODE);
            ShowError(IDS_NATIVE_START_FAILED);
            return 1;
        }
        // Read before anything else runs: it takes its variable out of the
        // environment.
        GetProgramPath();
        CVessraApp app;
        app.InitInstance(__argc, __argv);
    }
    catch (...)
    {
        // Out of memory before or after the wizard: nothing left to show.
    }
    return 0;
}
