#include "Console.h"
#include "Orvline.h"
#include "resource.h"

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
