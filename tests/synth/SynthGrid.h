#pragma once

// How much of the bit-exact tables a run takes. The normal tree runs every case. Where a case
// costs many times more (qemu-user's arm64, the sanitizers), VELLOX_SYNTH_GRID=representative
// keeps a grid that still meets every edge case, every rate, every waveform and every mode:
// of the cases a table would run over one dimension, it keeps each combination of the others
// at one value of that dimension, turning through its values.

#include <cstddef>
#include <cstdlib>
#include <string_view>

namespace vellox::synthgrid {

inline bool representativeGrid()
{
    const char* grid = std::getenv("VELLOX_SYNTH_GRID");
    return grid != nullptr && std::string_view(grid) == "representative";
}

// Whether the case numbered `item` (over the other dimensions) runs at the value `index` of a
// dimension of `count` values.
inline bool inGrid(std::size_t item, std::size_t index, std::size_t count)
{
    return !representativeGrid() || item % count == index;
}

} // namespace vellox::synthgrid
