#pragma once

// What the program keeps between runs, where the platform keeps such things (QSettings:
// ~/.config/Korvane/Vellox.conf on Linux): the output device chosen in the window.

#include <string>

namespace vellox {

// "" (the default device) when nothing is remembered.
std::string rememberedOutputDevice();
void rememberOutputDevice(const std::string& deviceId);

} // namespace vellox
