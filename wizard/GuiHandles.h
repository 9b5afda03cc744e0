// Owners of the user-interface handles that the engine's owners do not
// cover. Like those, they keep the caller's last-error value on close.
#pragma once

#include "Handles.h"

struct CIconTraits
{
    using Type = HICON;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::DestroyIcon(h); }
};

using CIcon = CUniqueHandle<CIconTraits>;
