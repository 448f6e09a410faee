#pragma once

// What the program keeps between runs, where the platform keeps such things (QSettings:
// ~/.config/Korvane/Vellox.conf on Linux): the output device chosen in the window, and how
// much sound the server holds ahead.

#include "OutputSettings.h"

#include <optional>
#include <string>

namespace vellox {

// "" (the default device) when nothing is remembered.
std::string rememberedOutputDevice();
void rememberOutputDevice(const std::string& deviceId);

// The window's output settings (the sample rate among them) as the last OK of its dialog
// left them; each setting not remembered, or not usable, keeps its start value. Empty when
// none is remembered.
std::optional<OutputSettings> rememberedOutputSettings();
void rememberOutputSettings(const OutputSettings& settings);
// The latency alone, for a run without a window.
std::optional<int> rememberedLatency();

} // namespace vellox
