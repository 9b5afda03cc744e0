// Rules of orvline's command line and texts, free of any console or file
// system access.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

enum EConsoleFlag : DWORD
{
    FlagPending = 1,
    FlagReboot = 2,
    FlagDowngrade = 4,
    FlagLog = 8,
    // Only tell, change nothing: the processes that hold the source, the
    // operations queued for the restart.
    FlagHolders = 16,
    FlagQueue = 32,
    // Before the operation, close the handles other processes hold open on
    // the source and on the file the target replaces.
    FlagRelease = 64,
};

// The flag bit of an option given without its leading "/" or "-"
// ("p", "PEND", "pending:yes", "lo:x" ...); 0 when it matches nothing.
DWORD FindOptionFlag(const std::string& option);

struct SCommandLine
{
    std::string source;
    std::string target;
    DWORD flags = 0;
    // An argument that cannot be placed: an empty one, a path after the
    // two positions, a target without a source, or an unknown option after
    // a source without a target.
    bool refused = false;
};

// Splits the arguments (argv[0] is the program): options anywhere, the
// source at position 1 and the target at position 2. At position 2 an
// argument that is not a known option is the target, whatever its first
// character; a rename or a move must never turn into a deletion, so nothing
// is deleted unless every argument after the source is a known option.
// Other unknown options are ignored.
SCommandLine ParseCommandLine(int argc, const char* const* argv);

// True when there is something to do: a source, or the pending or queue
// option, and no argument refused.
bool HasWork(const SCommandLine& line);

// True when the last component of the path names a reserved device (CON,
// PRN, AUX, NUL, COM1-9, LPT1-9, CONIN$, CONOUT$), with or without an
// extension or a trailing colon: "COM1", "C:\t\com1.txt", "aux:".
bool IsReservedDeviceName(const std::string& path);

// One operation of the restart queue as it stands: the object, its new
// path (empty: deletion), whether it may replace an existing one, and
// whether both exist now. `asStored`: paths that are no full drive paths,
// kept as the queue holds them (there is no object to look at); `line`: an
// entry that the restart leaves alone, its whole text.
struct SQueuedOperation
{
    std::string source;
    std::string target;
    bool replace = false;
    bool sourceExists = false;
    bool targetExists = false;
    bool asStored = false;
    std::string line;
};

// The line of the queue listing, in the words of the program's string
// table: "Supprimer C:\a.tmp", "Renommer C:\a.txt vers C:\b.txt",
// "Deplacer ...", "Remplacer C:\c.dll avec C:\b.dll", followed by
// " (source absente)" when the object no longer exists. Paths kept as
// stored are a deletion or a move of what they say, without that mark; an
// entry left alone by the restart is its text.
std::string FormatQueuedLine(const SQueuedOperation& operation);

// The line of a holder: its id, a tab, its executable, a tab, how it holds
// the object ("ouvert").
std::string FormatHolderLine(DWORD processId, const std::string& imagePath, const std::string& heldAs);

// The line of a process whose handles were closed: its id, a tab, its
// executable, a tab, "<count> handle(s) ferme(s)".
std::string FormatReleaseLine(DWORD processId, const std::string& imagePath, std::size_t count);

// "Version 1.01 (build 9.5)", plus " [BETA]" for a pre-release.
std::string FormatVersionText(DWORD fileVersionMS, DWORD fileVersionLS, DWORD fileFlags);

// "\n<message>: <system text> (<code>)\n"
std::string FormatSystemErrorLine(const std::string& message, const std::string& systemText,
                                  DWORD code);
