#pragma once

// Queries of the recording sound backend's operation log, shared by the tests.

#include "FakeSoundBackend.h"

namespace vellox::testing {

// How many operations of `kind` the log holds.
inline int countKind(const audio::FakeSoundBackend& fake, audio::SoundOp::Kind kind)
{
    int n = 0;
    for (const audio::SoundOp& op : fake.ops())
        n += op.kind == kind ? 1 : 0;
    return n;
}

// The last operation of `kind`, or null when there is none.
inline const audio::SoundOp* lastOp(const audio::FakeSoundBackend& fake, audio::SoundOp::Kind kind)
{
    const audio::SoundOp* found = nullptr;
    for (const audio::SoundOp& op : fake.ops())
        if (op.kind == kind)
            found = &op;
    return found;
}

} // namespace vellox::testing
