#include "engine/TakeOver.h"

#include "engine/ObjectPath.h"
#include "engine/Text.h"

#include <windows.h>

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

} // namespace

std::vector<bool> PlanTakeOver(const std::vector<STakeOverEntry>& entries,
                               const std::function<bool(std::size_t)>& run)
{
    std::vector<bool> done(entries.size(), false);
    std::set<std::wstring> blocked;
    for (std::size_t i = 0; i < entries.size(); ++i)
    {
        const STakeOverEntry& entry = entries[i];
        bool waits = !entry.runnable;
        for (const std::wstring& path : entry.paths)
            waits = waits || Touches(blocked, path);
        if (!waits)
            done[i] = run(i);
        if (!done[i])
            blocked.insert(entry.paths.begin(), entry.paths.end());
    }
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
