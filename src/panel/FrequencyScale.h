#pragma once

// The two frequency scales: 0 to 20000 Hz across 800 pixels at 25 Hz per pixel, a tick
// every 100 Hz, a label every 5000 Hz, a title and a green cursor line at the current
// frequency. Click or drag with the left button to pick a frequency.
//
// The window keeps the state (frequency field, marker field, spinner, text box); these
// functions draw on a PictureBox and compute. The pure helpers (tick table, picking,
// cursor position) need no widget.

#include "PictureBox.h"
#include "SynthTypes.h"

#include <QColor>
#include <QFont>
#include <QPointF>
#include <QString>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vellox {

// Hz per pixel of the scales, and the size of their canvas inside the border.
inline constexpr int HzPerPixel = 25;
inline constexpr int ScaleWidth = 800;
inline constexpr int ScaleHeight = 37;

// The cursor line: green, 2 pixels wide, from y = 5 to y = 20 at x = frequency / 25.
inline constexpr QColor CursorColor { 0, 255, 0 };
inline constexpr int CursorWidth = 2;
inline constexpr int CursorTop = 5;
inline constexpr int CursorBottom = 20;

// What tells the F1 scale from the F2 scale.
struct ScaleStyle {
    QColor scaleColor; // baseline, ticks and labels
    QColor titleColor;
    QString title;
    QPointF titlePosition; // top-left corner of the title text

    static ScaleStyle f1(); // cyan; "F 1          Click to set any frequency" at (0, -2)
    static ScaleStyle f2(); // light red, red title; "F 2          Click ..." at (0, 0)
};

// The font of the scale labels and titles. Small enough that the labels at y = 10 stay
// above the baseline at y = 30; the window sets it on both scale areas.
QFont scaleFont();

// One tick of the scale, i = 0..200, one per 100 Hz at x = 4*i.
struct TickRow {
    int width; // pen width, 1 or 2
    int x;
    int fromY;
    int toY;
    std::string label; // drawn with its top-left corner at (x, 10); empty for none
};
inline constexpr int TickCount = 201;
// i = 0: width 2, 22..35, "0". Multiples of 50: width 2, 22..35, i*100 + " Hz" ("5000 Hz").
// Multiples of 10: width 2, 25..35. Others: width 1, 27..33.
TickRow tickRow(int i);
std::vector<TickRow> tickTable(); // all 201 rows, i = 0..200

// x of the cursor for a frequency: frequency / 25 in double, stored as float.
float cursorX(int16_t frequency);

// The frequency at pointer position x: p = x, except that x = 0 gives p = 1; then p*25
// rounded to the nearest integer, halves to even (37.5 -> 38, 12.5 -> 12). The product
// is computed in double, where it is exact for every float x.
// Results below MinFrequency (20) give 20 and results above MaxFrequency (20000) give 20000,
// so a drag past either end of the scale sets the nearest end of the range; so do 0 < x < 0.8 (at
// most 19.5 Hz) and a NaN position (20).
int16_t pickFrequency(float x);

// Draws a whole scale on top of what the area shows: baseline, ticks, labels, title and
// the cursor at `frequency`. Sets pen width and colour (it ends green, 2 pixels wide) but
// never the mode: on a cleared area in XOR mode the scale looks the same except where
// two of its lines cross. Returns the frequency in plain digits, the new text of the
// scale's text box.
// When `markerX` is given it is set to the drawn cursor's x (frequency / 25), so that the
// next XOR of a pointer event removes this very cursor; pass the scale's marker field.
QString DrawMarcajeFrecventa(
    PictureBox& area, const ScaleStyle& style, int16_t frequency, float* markerX = nullptr);

// The pointer handlers' drawing and arithmetic. `button` is the bit set of the pointer
// signal, `x` the pointer's x in canvas pixels, `markerX` the scale's marker field.
// Each returns the frequency to set, or nothing when the event is ignored (then neither
// the area nor the marker changed). The caller stores the frequency into the frequency
// field and then into the spinner, whose change handler redraws the scale.
//
// Press: acts on the left button only (button == 1). Pen green, width 2, XOR; removes the
// cursor at the marker, draws it at x, marker = x. The area stays in XOR mode.
std::optional<int16_t> scaleMouseDown(PictureBox& area, float& markerX, int button, float x);
// Drag: acts only while the left button alone is held (button == 1). The same two XOR
// lines, then the pen goes back to copy mode, marker = x.
std::optional<int16_t> scaleMouseMove(PictureBox& area, float& markerX, int button, float x);

} // namespace vellox
