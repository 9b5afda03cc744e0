// Owners of the user-interface handles that the engine's owners do not
// cover. Like those, they keep the caller's last-error value on close.
#pragma once

#include "engine/Handles.h"

#include <commctrl.h>

struct CIconTraits
{
    using Type = HICON;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::DestroyIcon(h); }
};

using CIcon = CUniqueHandle<CIconTraits>;

struct CImageListTraits
{
    using Type = HIMAGELIST;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::ImageList_Destroy(h); }
};

using CImageList = CUniqueHandle<CImageListTraits>;
