#pragma once

// What the program handed SDL: the 16-bit frames of every audio callback since the last
// reset, copied in the audio thread right after the program's own callback has written
// them. This executable's SDL_OpenAudioDevice stands in front of SDL's and wraps the
// callback; the program is not changed. A recording of the server tells what was heard;
// this tells what the program played, so that a fault of the server's (a period played
// twice or out of place, which leaves no silence behind) is not taken for the program's.

#include <cstddef>
#include <vector>

namespace vellox::e2e {

struct OutputTap {
    // Only while no device is open: forgets what was taken.
    static void reset();
    // Any thread: channel 0 or 1 of the 16-bit stereo frames taken so far (other formats
    // are not taken), and whether the tap filled up and stopped taking.
    static std::vector<double> channel(int c);
    static bool full();
};

} // namespace vellox::e2e
