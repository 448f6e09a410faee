#pragma once

// Captions of the level, noise, duty and time-view controls. Pure
// functions, no Qt: the window's change handlers call them with the control's value and
// put the results into the label (the level and noise arithmetic is the synthesis's,
// SynthTypes.h).

#include <cstdint>
#include <string>

namespace vellox {

// Level spinners (0..15, 3 dB per step). The caption is "Level =  0 dB" at 0 (two blanks
// and no minus sign) and "Level = - " + 3*v + " dB" above it: "Level = - 6 dB" at 2.
std::string levelCaption(int32_t value);
// A level set beyond the steps (a script's, the command line's), on the same scale to
// 0.01 dB, signed: "Level = - 8.05 dB", "Level = + 4.29 dB" (full scale), "Level =  0.00 dB".
std::string fineLevelCaption(double factor);

// Noise spinner (0..10): 10*v followed by " % " (the trailing blank belongs to it).
std::string noiseCaption(int32_t value);

// Duty spinner (1..100): "rap=" and the bare number, no percent sign.
std::string dutyCaption(int32_t value);

// Time-view slider (0..127): the span in sample elements per 1000 pixels, v * 100.
// 0 is passed on as it is; the time view draws it as the smallest span.
int32_t timeViewSpan(int32_t sliderValue);

} // namespace vellox
