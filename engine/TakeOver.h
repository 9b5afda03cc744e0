// Taking over the operations queued for the restart: which of them are
// carried out now and which stay queued, so that after the restart every
// object ends as the restart alone would have left it.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

// One queued entry as the take-over sees it: the identities of the paths it
// touches (TakeOverKey), and whether it can be tried now at all (an entry
// that was not taken into the list cannot).
struct STakeOverEntry
{
    std::vector<std::wstring> paths;
    bool runnable = false;
};

// Runs the entries in queue order through `run` (true: carried out now) and
// answers, for each entry, whether it was carried out. An entry that cannot
// be carried out now stays queued, and so does every later entry that
// touches one of its paths (the same path, a folder holding it or a path
// inside it): their outcome depends on it, so they are not tried.
std::vector<bool> PlanTakeOver(const std::vector<STakeOverEntry>& entries,
                               const std::function<bool(std::size_t)>& run);

// The identity of a full path for the comparisons above: short (8.3) names
// made long where the disk knows them, in upper case, as UTF-16 (a DBCS
// trail byte is never taken for a backslash).
std::wstring TakeOverKey(const std::string& path);
