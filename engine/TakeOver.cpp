#include "engine/TakeOver.h"

#include "engine/ObjectPath.h"
#include "engine/Text.h"

#include <windows.h>

#include <shlwapi.h>

#include <set>

namespace
{

// True when a blocked path is the path itself, a folder holding it or a
// path inside it.
bool Touches(const std::set<std::wstring>& blocked, const std::wstring& path)
{
    if (blocked.empty() || path.empty())
        return false;
    for (std::size_t end = path.size(); end != 0 && end != std::wstring::npos;
         end = path.rfind(L'\\', end - 1))
    {
        if (blocked.count(path.substr(0, end)))
            return true;
    }
    const std::wstring inside = path + L'\\';
    const auto next = blocked.lower_bound(inside);
    return next != blocked.end() && next->compare(0, inside.size(), inside) == 0;
}

bool TouchesAny(const std::set<std::wstring>& blocked, const std::vector<std::wstring>& paths)
{
    for (const std::wstring& path : paths)
    {
        if (Touches(blocked, path))
            return true;
    }
    return false;
}

} // namespace

std::vector<bool> PlanTakeOver(const std::vector<STakeOverEntry>& entries,
                               const std::function<bool(std::size_t)>& run,
                               const std::function<bool(bool lasting)>& commit)
{
    std::vector<bool> done(entries.size(), false);
    std::set<std::wstring> blocked;
    // The paths of the entries carried out since the last commit.
    std::set<std::wstring> uncommitted;
    bool stopped = false;
    for (std::size_t i = 0; i < entries.size(); ++i)
    {
        const STakeOverEntry& entry = entries[i];
        bool waits = stopped || !entry.runnable || TouchesAny(blocked, entry.paths);
        if (!waits && TouchesAny(uncommitted, entry.paths))
        {
            stopped = !commit(true);
            waits = stopped;
            uncommitted.clear();
        }
        if (!waits)
            done[i] = run(i);
        (done[i] ? uncommitted : blocked).insert(entry.paths.begin(), entry.paths.end());
    }
    if (!stopped && !uncommitted.empty())
        commit(false);
    return done;
}

std::wstring TakeOverKey(const std::string& path)
{
    // Short (8.3) names made long; the system's own case rules for the code
    // page, DBCS pairs kept whole.
    std::string upper = path.find('~') == std::string::npos ? path : GetCanonicalPath(path);
    if (!upper.empty())
        ::CharUpperA(&upper[0]);
    std::wstring key = AnsiToWide(upper);
    while (key.size() > 3 && key.back() == L'\\')
        key.pop_back();
    return key;
}

void CTakeOverKeys::Add(const std::string& path, std::vector<std::wstring>& keys)
{
    const std::wstring key = TakeOverKey(path);
    keys.push_back(key);
    const std::size_t slash = key.rfind(L'\\');
    char folder[MAX_PATH] = {};
    if (slash == std::wstring::npos || !CopyToBuffer(path, folder) || !::PathRemoveFileSpecA(folder))
        return;

    const std::wstring folderKey = TakeOverKey(folder);
    auto known = m_folders.find(folderKey);
    if (known == m_folders.end())
    {
        const std::string named = GetFinalPath(folder);
        std::wstring real = named.empty() ? std::wstring() : TakeOverKey(named);
        if (!real.empty() && real.back() == L'\\')
            real.pop_back();
        known = m_folders.emplace(folderKey, real).first;
    }
    if (known->second.empty())
        return;
    const std::wstring identity = known->second + key.substr(slash);
    if (identity != key)
        keys.push_back(identity);
}
