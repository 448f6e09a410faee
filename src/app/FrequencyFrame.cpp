#include "FrequencyFrame.h"

#include "ControlCaptions.h"
#include "FormGenUi.h"
#include "NumberText.h"
#include "PictureBox.h"
#include "Rounding.h"
#include "UpDown.h"

#include <QLabel>
#include <QLineEdit>

#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>

namespace vellox {

namespace {

    // Ends of the MinFrequency..MaxFrequency range that every frequency field keeps.
    int16_t clampFrequency(double hz)
    {
        return roundToInt16(std::clamp(hz, double(MinFrequency), double(MaxFrequency)));
    }

} // namespace

FrequencyFrame::FrequencyFrame(
    const FrequencyControls& controls, ScaleStyle style, Generator& generator, Tone tone)
    : m_controls(controls)
    , m_style(std::move(style))
    , m_generator(generator)
    , m_tone(tone)
{
}

int16_t FrequencyFrame::frequency() const
{
    return int16_t(m_generator.frequency(m_tone));
}

float FrequencyFrame::marker() const
{
    const GeneratorState& s = m_generator.state();
    return m_tone == Tone::F1 ? s.Marker1X : s.Marker2X;
}

void FrequencyFrame::drawMarker()
{
    float x = marker();
    m_controls.text->setText(DrawMarcajeFrecventa(*m_controls.scale, m_style, frequency(), &x));
    m_generator.setMarkerX(m_tone, x);
}

void FrequencyFrame::showFrequency()
{
    m_controls.frequency->showValue(frequency());
    m_controls.scale->Cls();
    drawMarker();
}

void FrequencyFrame::showLevel()
{
    const int step = m_generator.levelStep(m_tone);
    m_controls.level->showValue(step);
    // A level beyond the steps shows itself, not the step the spinner stands at.
    const std::string caption = m_generator.fineLevel(m_tone)
        ? fineLevelCaption(m_generator.levelFactorOf(m_tone))
        : levelCaption(step);
    m_controls.levelLabel->setText(QString::fromStdString(caption));
}

void FrequencyFrame::enter()
{
    PictureBox* picture = m_controls.scale;
    picture->setForeColor(CursorColor);
    picture->setDrawWidth(CursorWidth);
    picture->setDrawMode(PictureBox::PenMode::Xor);
    const std::string typed = m_controls.text->text().toStdString();
    if (const std::optional<double> number = readLeadingNumber(typed))
        m_controls.frequency->setValue(clampFrequency(*number));
    // When the spinner did not change nothing redrew the box: show the frequency in force.
    const QString shown = QString::fromStdString(plainNumber(int(frequency())));
    if (m_controls.text->text() != shown)
        m_controls.text->setText(shown);
}

void FrequencyFrame::pointer(int button, float x, bool drag)
{
    // A drag past either end sets that end of the frequency range. The XOR cursor then
    // goes where that frequency is drawn, not under the pointer off the scale: when the
    // spinner already holds the end, nothing redraws, and the lines must still cancel.
    const double unclamped = std::nearbyint(double(x == 0.0f ? 1.0f : x) * double(HzPerPixel));
    const int16_t picked = pickFrequency(x);
    if (double(picked) != unclamped)
        x = cursorX(picked);

    PictureBox& picture = *m_controls.scale;
    float markerX = marker();
    const std::optional<int16_t> frequency = drag ? scaleMouseMove(picture, markerX, button, x)
                                                  : scaleMouseDown(picture, markerX, button, x);
    m_generator.setMarkerX(m_tone, markerX);
    if (!frequency)
        return;
    m_controls.frequency->setValue(*frequency);
}

} // namespace vellox
