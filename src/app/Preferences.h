#pragma once

// What the program keeps between runs, where the platform keeps such things (QSettings:
// ~/.config/Korvane/Vellox.conf on Linux): the output device chosen in the window, how
// much sound the server holds ahead, and each device's calibration.

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
// The volts peak to peak of a sine at the unit level that the user measured at a device's
// output (VOLT:CAL:FSC, the window's calibration), by device ("" the default one).
std::optional<double> rememberedCalibration(const std::string& deviceId);
void rememberCalibration(const std::string& deviceId, double vpp);
// The latency alone, for a run without a window.
std::optional<int> rememberedLatency();

} // namespace vellox
