#include "cli/Console.h"
#include "cli/Orvline.h"
#include "resources/orvline/resource.h"

int main(int argc, char** argv)
{
    CConsole console;
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
