// The programs started at logon: the Run and Runonce values of the user and
// of the machine, and which file each value's command line starts.
#pragma once

#include "engine/RegistryEntry.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

// The file a command line starts and the text that followed it.
struct SRunCommand
{
    std::string file;
    std::string arguments;
};

// Looks a file up in the system's search order, with a default extension
// (null: none). The full path found, or false.
using PathSearch = bool (*)(const std::string& name, const char* extension, std::string& found);

// SearchPathA into a path buffer; a result that does not fit counts as not
// found.
bool SearchSystemPath(const std::string& name, const char* extension, std::string& found);

// Which file does the value's command line start. Environment strings stay
// as written and the file's existence is not tested.
SRunCommand ResolveRunCommand(const std::string& data, PathSearch search = SearchSystemPath);

// The key below the hive of a "Run" or "Runonce" name.
std::string GetAutostartKeyPath(const char* name);

// The scanned keys, in the order the list is filled.
struct SAutostartKey
{
    HKEY hive;
    const char* name;
    UINT groupId;
};
extern const SAutostartKey kAutostartKeys[4];

// The largest value data taken, in bytes.
constexpr DWORD kMaxAutostartData = 256;

// Hands every REG_SZ value of the key (data up to kMaxAutostartData bytes)
// in the registry view `view` (0: the only one) to `add` as a resolved
// entry, in the registry's order. A key that cannot be opened gives nothing.
// False when memory ran out; the values handed on so far stay with the
// caller.
bool ReadAutostartKey(HKEY hive, const char* name,
                      const std::function<void(std::unique_ptr<CRegistryEntry>)>& add,
                      PathSearch search = SearchSystemPath, REGSAM view = 0);

// The registry views in which a key is read: on 64-bit Windows the
// machine's keys in the 64-bit view and then in the 32-bit one, unless both
// views show the same key (each value is listed once); the user's keys,
// which have one view, and every key of a system without views: 0.
std::vector<REGSAM> GetAutostartViews(HKEY hive, const char* name);

// True when both open keys are one key of the registry (their full names,
// as the system gives them, are equal). False when either name cannot be
// read.
bool IsSameRegistryKey(HKEY a, HKEY b);
