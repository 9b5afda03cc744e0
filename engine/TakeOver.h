// Taking over the operations queued for the restart: which of them are
// carried out now and which stay queued, so that after the restart every
// object ends as the restart alone would have left it.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

// One queued entry as the take-over sees it: the keys of the paths it
// touches (CTakeOverKeys), and whether it can be tried now at all (an entry
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
//
// The queue is the journal of the run: `commit` clears from it the entries
// carried out since the last commit. An entry carried out but not yet
// cleared is harmless to carry out again, as the restart would after a
// kill: its source is gone, and nothing done since has touched its paths.
// So `commit` is called before an entry runs that touches a path of one of
// them (`lasting` true: it must hold before that entry runs), and once at
// the end (`lasting` false). When a commit fails, nothing more runs: the
// rest stays queued, untried.
std::vector<bool> PlanTakeOver(const std::vector<STakeOverEntry>& entries,
                               const std::function<bool(std::size_t)>& run,
                               const std::function<bool(bool lasting)>& commit);

// The keys under which the take-over compares full paths: the path's text
// (short names made long, upper case, as UTF-16 so that a DBCS trail byte is
// never taken for a backslash) and, when it differs, the same name in its
// folder as the system names that folder once another letter for the drive
// or a link is followed (GetFinalPath). Each folder is looked up once.
class CTakeOverKeys
{
public:
    void Add(const std::string& path, std::vector<std::wstring>& keys);

private:
    std::unordered_map<std::wstring, std::wstring> m_folders;
};

// The text key alone, for a path that names no drive path (and for tests).
std::wstring TakeOverKey(const std::string& path);
