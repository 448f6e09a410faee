#pragma once

// Qt's mouse buttons and keyboard modifiers as the bit sets the handlers receive: the
// pointer signals of PictureBox and the window's key handlers.

#include <Qt>

namespace vellox {

// 1 left, 2 right, 4 middle.
inline int buttonBits(Qt::MouseButtons buttons)
{
    int bits = 0;
    if (buttons & Qt::LeftButton)
        bits |= 1;
    if (buttons & Qt::RightButton)
        bits |= 2;
    if (buttons & Qt::MiddleButton)
        bits |= 4;
    return bits;
}

// 1 Shift, 2 Ctrl, 4 Alt.
inline int shiftBits(Qt::KeyboardModifiers modifiers)
{
    int bits = 0;
    if (modifiers & Qt::ShiftModifier)
        bits |= 1;
    if (modifiers & Qt::ControlModifier)
        bits |= 2;
    if (modifiers & Qt::AltModifier)
        bits |= 4;
    return bits;
}

} // namespace vellox
