#include "cli/QueueListing.h"

#include "engine/PendingParser.h"
#include "engine/PendingStore.h"
#include "engine/SystemServices.h"
#include "engine/Text.h"

#include <shlwapi.h>

#include <new>

namespace
{

// A queue path as the listing shows it: the drive path the system would
// use, or else the stored text without its marks (a form the take-over
// refuses, shown all the same).
std::string ShownPath(const std::wstring& stored, bool allowReplace, bool& replace)
{
    std::string path;
    if (ReadQueuePath(stored, allowReplace, path, replace))
        return path;
    return WideToAnsi(StripQueueMarks(stored, allowReplace, replace).c_str());
}

bool Exists(const std::string& path)
{
    return !path.empty() && ::PathFileExistsA(path.c_str());
}

bool ReadRegistryQueue(std::vector<SQueuedOperation>& operations)
{
    std::wstring text;
    if (!ReadQueueText(text))
        return false;
    for (const SPendingEntry& entry : ParsePendingEntries(text.data(), text.size()))
    {
        SQueuedOperation operation;
        bool unused = false;
        operation.source = ShownPath(entry.source, false, unused);
        if (!entry.target.empty())
            operation.target = ShownPath(entry.target, true, operation.replace);
        operation.sourceExists = Exists(operation.source);
        operation.targetExists = Exists(operation.target);
        operations.push_back(std::move(operation));
    }
    return true;
}

bool ReadWinInitQueue(std::vector<SQueuedOperation>& operations)
{
    std::string text;
    if (!ReadWinInitText(text))
        return false;
    for (const SWinInitEntry& entry : ParseWinInitEntries(text))
    {
        SQueuedOperation operation;
        operation.source = entry.source;
        operation.target = entry.target;
        // The 9x restart overwrites an existing target.
        operation.replace = true;
        operation.sourceExists = Exists(operation.source);
        operation.targetExists = Exists(operation.target);
        // Written with short names; shown as the user knows them.
        if (operation.sourceExists)
            GetLongPath(operation.source);
        if (operation.targetExists)
            GetLongPath(operation.target);
        operations.push_back(std::move(operation));
    }
    return true;
}

} // namespace

bool ReadQueuedOperations(std::vector<SQueuedOperation>& operations)
{
    operations.clear();
    try
    {
        return IsWindowsNT() ? ReadRegistryQueue(operations) : ReadWinInitQueue(operations);
    }
    catch (const std::bad_alloc&)
    {
        ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
}
