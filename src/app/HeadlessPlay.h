#pragma once

// Playing without a window (--play).

#include <optional>
#include <string>

namespace vellox {

class Generator;

// Plays what `generator` is set to (through its sound backend, on the device its sound objects
// name) until `seconds` have passed, or without them until SIGINT or SIGTERM arrives;
// a sweep set in the settings steps every 10 ms as in the window. With remoteAddress
// ("[ADDRESS:]PORT"), the remote control answers there meanwhile, to the addresses of
// remoteAllow ("" everyone). Then the sound fades out
// and the device is released. Runs an event loop of its own: a QCoreApplication must exist.
// Returns "" or a one-line reason when the device or the remote control fails.
std::string playWithoutWindow(Generator& generator, std::optional<double> seconds,
    const std::string& remoteAddress = {}, const std::string& remoteAllow = {});

} // namespace vellox
