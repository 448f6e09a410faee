#pragma once

// One of the two frequency frames of the main window with its scale: F1 (Frame2 over
// Picture1) or F2 (Frame4 over Picture2). It keeps the frame's controls and the state's
// fields of that frequency in step; the window's handlers pick the frame and restart the
// sound. UI thread only.

#include "FrequencyScale.h"

#include <cstdint>

namespace vellox {

struct FrequencyControls;

class FrequencyFrame {
public:
    // The fields of the generator state that the frame shows and sets.
    struct Fields {
        int16_t& frequency; // Frequency1 or Frequency2, Hz
        float& marker; // Marker1X or Marker2X: where the scale's cursor line stands
        float& level; // Level1 or Level2
    };

    // `controls` are read when the frame acts, so they may be built after it.
    FrequencyFrame(const FrequencyControls& controls, ScaleStyle style, Fields fields);

    // DrawMarcajeFrecventa of this scale: the scale with its cursor at the frequency (the
    // marker follows the drawn cursor, so the next XOR move erases this very line); the
    // text box shows the frequency.
    void drawMarker();
    // The frequency spinner's value into the frequency field; the scale cleared and redrawn.
    void takeFrequency();
    // The level spinner's step: its caption and the level factor.
    void takeLevel();
    // "Enter Frq": the text box's leading number, clamped to the frequency range, into the
    // field and the spinner (whose change restarts the sound); a text without a number is
    // ignored. The box then shows the frequency in force.
    void enter();
    // A press (drag false) or a drag on the scale at canvas x with the pointer's `button`
    // bits: the picked frequency into the field and the spinner.
    void pointer(int button, float x, bool drag);

private:
    const FrequencyControls& m_controls;
    ScaleStyle m_style;
    Fields m_fields;
};

} // namespace vellox
