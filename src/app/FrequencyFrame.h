#pragma once

// One of the two frequency frames of the main window with its scale: F1 (Frame2 over
// Picture1) or F2 (Frame4 over Picture2). It shows the generator's frequency and level of
// its tone in the frame's controls, and turns a typed entry or a pointer on the scale into
// the spinner's value, whose change handler sets the generator. UI thread only.

#include "FrequencyScale.h"
#include "Generator.h"

#include <cstdint>

namespace vellox {

struct FrequencyControls;

class FrequencyFrame {
public:
    // `controls` are read when the frame acts, so they may be built after it.
    FrequencyFrame(
        const FrequencyControls& controls, ScaleStyle style, Generator& generator, Tone tone);

    // DrawMarcajeFrecventa of this scale: the scale with its cursor at the frequency (the
    // marker follows the drawn cursor, so the next XOR move erases this very line); the
    // text box shows the frequency.
    void drawMarker();
    // The generator's frequency in the spinner (quietly) and on the scale, cleared and
    // redrawn.
    void showFrequency();
    // The generator's level step in the spinner (quietly) and its caption.
    void showLevel();
    // "Enter Frq": the text box's leading number, clamped to the frequency range, into the
    // spinner (whose change sets the generator); a text without a number is ignored. The box
    // then shows the frequency in force.
    void enter();
    // A press (drag false) or a drag on the scale at canvas x with the pointer's `button`
    // bits: the picked frequency into the spinner.
    void pointer(int button, float x, bool drag);

private:
    int16_t frequency() const;
    float marker() const;

    const FrequencyControls& m_controls;
    ScaleStyle m_style;
    Generator& m_generator;
    Tone m_tone;
};

} // namespace vellox
