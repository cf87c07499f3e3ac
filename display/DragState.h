#pragma once

#include <cstdint>

namespace tavix {

// The window's public drag state, which the key display reads every frame.
struct DragState
{
    int32_t MouseStartX = 0;
    int32_t MouseStartY = 0;
    int32_t MouseMoveX = 0;
    int32_t MouseMoveY = 0;
    bool MouseDown = false;
    bool MouseMove = false;
};

} // namespace tavix
