#pragma once

// The time view: the start of the sample buffer drawn as two traces, the left channel
// (even elements, cyan) around y = 25 and the right channel (odd elements, red) around
// y = 75, each with a dotted zero line and a label. One pixel down is 1000 sample units
// up: a positive value lies below its zero line.

#include "PictureBox.h"

#include <QPointF>
#include <QSize>

#include <cstdint>
#include <string>
#include <vector>

namespace vellox {

// The view's canvas inside the area's border: 176 x 113 outside. The labels use the
// area's font; scaleFont() of the frequency scales suits it.
inline constexpr QSize TimeViewCanvasSize { 176 - 2 * PictureBox::BorderWidth,
    113 - 2 * PictureBox::BorderWidth };

inline constexpr int32_t SmallestTimeViewSpan = 100; // slider position 1
inline constexpr int32_t LastLeftElement = 8000; // elements 0, 2, ..., 8000
inline constexpr int32_t LastRightElement = 7997; // elements 1, 3, ..., 7997
inline constexpr int UpperZero = 25;
inline constexpr int LowerZero = 75;
inline constexpr int ZeroLineEnd = 176;
inline constexpr int LowerLabelY = 94;

// The span actually drawn: `span` (sample elements per 1000 pixels), except that a span
// of 0 or below, where the horizontal scale is undefined, draws as the smallest span.
int32_t effectiveTimeViewSpan(int32_t span);

// Where element `index` of value `sample` is drawn: x = index*1000 / span (index*1000 an
// int32 product, the division in double), y = sample / 1000 + `zeroY` in double; both
// then stored as float. `span` goes through effectiveTimeViewSpan first.
QPointF timeViewPoint(int32_t index, int16_t sample, int32_t span, int zeroY);

// "Bit Lenght = " + microseconds rounded to 2 decimals (halves to even), with the blank
// of a non-negative number, + " uS": " 1000" for 1/1000 s, " 20" for 20 us.
std::string bitLengthLabel(float bitLength);
// The frequency with the blank of a non-negative number, then " Hz": " 1000 Hz".
std::string frequencyLabel(int16_t frequency);
// The two labels of the view as DrawTimeView prints them: the upper one is the bit length
// for the bit-code waveforms (isBitCode) and F1 otherwise; the lower one is F1 in mode 1
// (F1 on both channels) and F2 otherwise.
std::string upperTimeViewLabel(int16_t waveform, int16_t frequency1, float bitLength);
std::string lowerTimeViewLabel(int16_t channelMode, int16_t frequency1, int16_t frequency2);

// Rebuilds the whole view from the given values: clears the area, then traces, zero lines
// and labels. The pen ends red, 1 pixel wide, dotted, copy mode. Elements beyond the end
// of `samples` are not drawn: a short buffer draws the points it has.
void DrawTimeView(PictureBox& area, const std::vector<int16_t>& samples, int32_t timeViewSpan,
    int16_t waveform, int16_t channelMode, int16_t frequency1, int16_t frequency2, float bitLength);

} // namespace vellox
