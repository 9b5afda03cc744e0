// The wizard's entry in the shell's context menu of every file and folder:
// HKEY_CLASSES_ROOT\AllFileSystemObjects\Shell\Vessra and its Command key.
#pragma once

#include <windows.h>

#include <string>

extern const char kContextMenuShellKey[];    // AllFileSystemObjects\Shell
extern const char kContextMenuVerbKey[];     // ...\Shell\Vessra
extern const char kContextMenuCommandKey[];  // ...\Shell\Vessra\Command

// Writes the menu text and the command that starts this program with the
// clicked object. False (last error set) when a write fails.
bool InstallContextMenu();

// Deletes the entry; the Shell key goes too when nothing else is left in it.
bool RemoveContextMenu();

// True when the entry's command starts this very program.
bool IsContextMenuInstalled();

// The command value for a program: "\"<path>\" \"%1\"".
std::string FormatContextMenuCommand(const std::string& programPath);

// The program that a command value starts: the quoted text when the value
// begins with a quote, else the text before the first blank; empty when
// neither can be found.
std::string GetCommandProgram(const std::string& command);
