#include "inspect/HolderList.h"

#include "engine/StringIds.h"
#include "engine/Text.h"

#include <new>

std::string GetHeldAsText(DWORD heldAs)
{
    if ((heldAs & HeldOpen) == 0)
        return LoadResourceText(IDS_ENGINE_HELD_LOADED);
    return LoadResourceText((heldAs & HeldLoaded) != 0 ? IDS_ENGINE_HELD_LOADED_OPEN : IDS_ENGINE_HELD_OPEN);
}

bool MergeHolder(CHolderList& holders, const SHolder& holder)
{
    for (SHolder& row : holders)
    {
        if (row.processId == holder.processId && row.taskThreadId == holder.taskThreadId)
        {
            if (row.imagePath.empty())
                row.imagePath = holder.imagePath;
            try
            {
                row.openHandles.insert(row.openHandles.end(), holder.openHandles.begin(),
                                       holder.openHandles.end());
            }
            catch (const std::bad_alloc&)
            {
                return false;
            }
            row.heldAs |= holder.heldAs;
            return true;
        }
    }
    try
    {
        holders.push_back(holder);
        return true;
    }
    catch (const std::bad_alloc&)
    {
        return false;
    }
}
