#include "cli/QueueListing.h"

#include "engine/PendingParser.h"
#include "engine/RegistryQueue.h"
#include "engine/SystemServices.h"
#include "engine/Text.h"
#include "engine/WinInitFile.h"

#include <shlwapi.h>

#include <new>

namespace
{

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
        // The drive paths the system would use; any other form as it stands.
        operation.asStored = !ReadQueuePath(entry.source, false, operation.source, unused) ||
                             (!entry.target.empty() &&
                              !ReadQueuePath(entry.target, true, operation.target, operation.replace));
        if (operation.asStored)
        {
            operation.source = WideToAnsi(entry.source.c_str());
            operation.target = WideToAnsi(entry.target.c_str());
            operation.replace = false;
        }
        else
        {
            operation.sourceExists = Exists(operation.source);
            operation.targetExists = Exists(operation.target);
        }
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
        if (entry.inert)
            operation.line = TrimBlanks(WinInitLineText(text, entry.begin, entry.end));
        operation.asStored = !IsFullDrivePath(entry.source) ||
                             (!entry.target.empty() && !IsFullDrivePath(entry.target));
        if (!operation.line.empty() || operation.asStored)
        {
            operations.push_back(std::move(operation));
            continue;
        }
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
