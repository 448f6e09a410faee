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

FrequencyFrame::FrequencyFrame(const FrequencyControls& controls, ScaleStyle style, Fields fields)
    : m_controls(controls)
    , m_style(std::move(style))
    , m_fields(fields)
{
}

void FrequencyFrame::drawMarker()
{
    m_controls.text->setText(
        DrawMarcajeFrecventa(*m_controls.scale, m_style, m_fields.frequency, &m_fields.marker));
}

void FrequencyFrame::takeFrequency()
{
    m_fields.frequency = int16_t(m_controls.frequency->value());
    m_controls.scale->Cls();
    drawMarker();
}

void FrequencyFrame::takeLevel()
{
    m_controls.levelLabel->setText(QString::fromStdString(levelCaption(m_controls.level->value())));
    m_fields.level = levelFactor(m_controls.level->value());
}

void FrequencyFrame::enter()
{
    PictureBox* picture = m_controls.scale;
    picture->setForeColor(CursorColor);
    picture->setDrawWidth(CursorWidth);
    picture->setDrawMode(PictureBox::PenMode::Xor);
    const std::string typed = m_controls.text->text().toStdString();
    if (const std::optional<double> number = readLeadingNumber(typed)) {
        m_fields.frequency = clampFrequency(*number);
        m_controls.frequency->setValue(m_fields.frequency);
    }
    // When the spinner did not change nothing redrew the box: show the frequency in force.
    const QString shown = QString::fromStdString(plainNumber(int(m_fields.frequency)));
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
    const std::optional<int16_t> frequency = drag
        ? scaleMouseMove(picture, m_fields.marker, button, x)
        : scaleMouseDown(picture, m_fields.marker, button, x);
    if (!frequency)
        return;
    m_fields.frequency = *frequency;
    m_controls.frequency->setValue(*frequency);
}

} // namespace vellox
