#include "cli/Console.h"
#include "cli/Orvline.h"
#include "engine/NativeProgram.h"
#include "engine/ProgramPath.h"
#include "resources/orvline/resource.h"

int main(int argc, char** argv)
{
    CConsole console;
    // On 64-bit Windows the 64-bit build does the work, never this one
    // through the system's redirections.
    if (NeedsNativeProgram())
    {
        DWORD exitCode = 0;
        if (RunNativeProgram(exitCode))
            return static_cast<int>(exitCode);
        console.PrintSystemError(IDS_INIT_FAILED, ::GetLastError());
        return ExitInitFailed;
    }
    // Read before anything else runs: it takes its variable out of the
    // environment.
    GetProgramPath();
    if (!InitializeProgram())
    {
        console.PrintSystemError(IDS_INIT_FAILED, ::GetLastError());
        return ExitInitFailed;
    }
    if (!console.Parse(argc, argv))
        return ExitUsage;

    COrvline program(console);
    return program.Run();
}
