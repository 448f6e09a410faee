#pragma once

// What the program keeps between runs, where the platform keeps such things (QSettings:
// ~/.config/Korvane/Vellox.conf on Linux): the output device chosen in the window, and how
// much sound the server holds ahead.

#include <optional>
#include <string>

namespace vellox {

// "" (the default device) when nothing is remembered.
std::string rememberedOutputDevice();
void rememberOutputDevice(const std::string& deviceId);

// Milliseconds; empty when nothing (or nothing usable) is remembered.
std::optional<int> rememberedLatency();
void rememberLatency(int milliseconds);

} // namespace vellox
