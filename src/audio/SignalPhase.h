#pragma once

#include <cstdint>

namespace vellox::audio {

// The tones a buffer holds, so that a new buffer can start where they continue the old
// one's (see continuingFrame in LoopPlayer.h). Given by the window with each buffer it plays.
struct SignalPhase {
    int32_t f1 = 0; // Hz of F1 in the signal, 0 when it has none
    int32_t f2 = 0; // Hz of F2 in the signal, 0 when it has none
    // False for a signal that must start at its own position (a bit pattern starts with its
    // first bit); such a buffer neither continues another nor is continued.
    bool linkable = false;
};

} // namespace vellox::audio
