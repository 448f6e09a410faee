#pragma once

// Playing without a window (--play).

#include "LaunchSettings.h"

#include <optional>
#include <string>

namespace vellox {

namespace audio {
    class SdlSoundBackend;
}

// Plays the settings on the device named deviceId ("" the default) until `seconds` have
// passed, or without them until SIGINT or SIGTERM arrives; a sweep set in the settings
// steps every 10 ms as in the window. Then the sound fades out and the device is released.
// Returns "" or a one-line reason when the device fails.
std::string playWithoutWindow(HeadlessSettings settings, audio::SdlSoundBackend& backend,
    const std::string& deviceId, std::optional<double> seconds);

} // namespace vellox
