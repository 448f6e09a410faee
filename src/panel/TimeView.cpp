#include "TimeView.h"

#include "NumberText.h"
#include "SynthTypes.h"

#include <QColor>

#include <algorithm>
#include <cmath>

namespace vellox {

namespace {

    // Beyond this distance right of the canvas a line of the 1-pixel trace pen colours
    // nothing of it.
    constexpr double OffCanvas = 4.0;

    // The points of one channel, from `first` up to `last` in steps of two, that exist and
    // can show. x grows with the index, so once one point lies beyond the right edge every
    // later line lies wholly beyond it: the points stop there, with that first point
    // beyond kept, since the last visible line runs up to it.
    std::vector<QPointF> tracePoints(const std::vector<int16_t>& samples, int32_t first,
        int32_t last, int32_t span, int zeroY, int canvasWidth)
    {
        std::vector<QPointF> points;
        const int64_t available = int64_t(samples.size());
        points.reserve(
            size_t(std::max<int64_t>(0, std::min<int64_t>(last + 1, available) - first) / 2 + 1));
        const double beyond = double(canvasWidth) + OffCanvas;
        for (int32_t i = first; i <= last && i < available; i += 2) {
            points.push_back(timeViewPoint(i, samples[size_t(i)], span, zeroY));
            if (points.back().x() > beyond)
                break;
        }
        return points;
    }

} // namespace

int32_t effectiveTimeViewSpan(int32_t span)
{
    return span <= 0 ? SmallestTimeViewSpan : span;
}

QPointF timeViewPoint(int32_t index, int16_t sample, int32_t span, int zeroY)
{
    const int32_t scaled = index * 1000;
    const float x = float(double(scaled) / double(effectiveTimeViewSpan(span)));
    const float y = float(double(sample) / 1000.0 + zeroY);
    return { x, y };
}

std::string bitLengthLabel(float bitLength)
{
    const double microseconds = double(bitLength) * 1000000.0;
    // Two decimals, halves to even under the default rounding mode.
    const double rounded = std::nearbyint(microseconds * 100.0) / 100.0;
    return "Bit Lenght = " + paddedNumber(rounded) + " uS";
}

std::string frequencyLabel(int16_t frequency)
{
    return paddedNumber(int(frequency)) + " Hz";
}

std::string upperTimeViewLabel(int16_t waveform, int16_t frequency1, float bitLength)
{
    if (isBitCode(waveform))
        return bitLengthLabel(bitLength);
    return frequencyLabel(frequency1);
}

std::string lowerTimeViewLabel(int16_t channelMode, int16_t frequency1, int16_t frequency2)
{
    return frequencyLabel(channelMode == ModeF1Both ? frequency1 : frequency2);
}

void DrawTimeView(PictureBox& area, const std::vector<int16_t>& samples, int32_t timeViewSpan,
    int16_t waveform, int16_t channelMode, int16_t frequency1, int16_t frequency2, float bitLength)
{
    const QColor cyan(0, 255, 255);
    const QColor red(255, 0, 0);

    area.Cls();
    area.setDrawMode(PictureBox::PenMode::Copy);
    area.setDrawWidth(1);

    area.setForeColor(cyan);
    area.setDrawStyle(PictureBox::PenStyle::Solid);
    area.LinesTo(tracePoints(
        samples, 0, LastLeftElement, timeViewSpan, UpperZero, area.canvasSize().width()));

    area.setDrawStyle(PictureBox::PenStyle::Dotted);
    area.Line(QPointF(0, UpperZero), QPointF(ZeroLineEnd, UpperZero));

    area.setCurrent(QPointF(0, 0));
    area.setForeColor(Qt::white);
    area.Print(QString::fromStdString(upperTimeViewLabel(waveform, frequency1, bitLength)));

    area.setForeColor(red);
    area.setDrawStyle(PictureBox::PenStyle::Solid);
    area.LinesTo(tracePoints(
        samples, 1, LastRightElement, timeViewSpan, LowerZero, area.canvasSize().width()));

    area.setDrawStyle(PictureBox::PenStyle::Dotted);
    area.Line(QPointF(0, LowerZero), QPointF(ZeroLineEnd, LowerZero));

    area.setCurrent(QPointF(0, LowerLabelY));
    area.Print(QString::fromStdString(lowerTimeViewLabel(channelMode, frequency1, frequency2)));
}

} // namespace vellox
