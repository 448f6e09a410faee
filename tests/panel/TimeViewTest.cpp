// The time view drawn on a picture area: traces, zero lines, labels, guards.

#include "TimeView.h"
#include "PictureTestUtil.h"

#include <QTest>

#include <cmath>

using namespace vellox;

namespace {

using vellox::testing::at;
using vellox::testing::save;

const QColor Black(0, 0, 0);
const QColor Cyan(0, 255, 255);
const QColor Red(255, 0, 0);
const QColor White(255, 255, 255);

std::unique_ptr<PictureBox> viewArea()
{
    auto area = std::make_unique<PictureBox>(TimeViewCanvasSize, Black);
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(11);
    area->setFont(font);
    return area;
}

int countColour(const PictureBox& area, QRect box, QColor colour)
{
    int count = 0;
    box &= QRect(QPoint(0, 0), area.canvasSize());
    for (int y = box.top(); y <= box.bottom(); ++y)
        for (int x = box.left(); x <= box.right(); ++x)
            if (at(area, x, y) == colour)
                ++count;
    return count;
}

// Left elements all `left`, right elements all `right`.
std::vector<int16_t> flatBuffer(size_t size, int16_t left, int16_t right)
{
    std::vector<int16_t> samples(size);
    for (size_t i = 0; i < size; ++i)
        samples[i] = i % 2 == 0 ? left : right;
    return samples;
}

// A 1000 Hz sine left and a 100 Hz sine right at 98000 frames per second, level 1/sqrt(2).
std::vector<int16_t> sineBuffer()
{
    std::vector<int16_t> samples(2 * 98000 + 2);
    const double level = 1.0 / std::sqrt(2.0);
    for (size_t frame = 0; frame < samples.size() / 2; ++frame) {
        const double t = double(frame) / 98000.0;
        samples[2 * frame] = int16_t(std::lround(20000 * level * std::sin(2 * M_PI * 1000 * t)));
        samples[2 * frame + 1] = int16_t(std::lround(20000 * level * std::sin(2 * M_PI * 100 * t)));
    }
    return samples;
}

// Text is antialiased: any pixel with some of the colour counts.
int countShades(const PictureBox& area, QRect box, QColor colour)
{
    int count = 0;
    box &= QRect(QPoint(0, 0), area.canvasSize());
    for (int y = box.top(); y <= box.bottom(); ++y)
        for (int x = box.left(); x <= box.right(); ++x) {
            const QColor pixel = at(area, x, y);
            if (pixel != Black && (pixel.red() > 0) == (colour.red() > 0)
                && (pixel.green() > 0) == (colour.green() > 0)
                && (pixel.blue() > 0) == (colour.blue() > 0))
                ++count;
        }
    return count;
}

} // namespace

class TimeViewTest : public QObject {
    Q_OBJECT

private slots:
    void flatTracesAndZeroLines()
    {
        auto area = viewArea();
        QCOMPARE(area->size(), QSize(176, 113));
        // Span 1000: element i at x = i. Left +5000 lies 5 pixels below its zero line,
        // right -10000 lies 10 pixels above its own.
        DrawTimeView(*area, flatBuffer(8002, 5000, -10000), 1000, 0, 1, 1000, 100, 0.001f);

        QCOMPARE(at(*area, 100, 30), Cyan);
        QCOMPARE(at(*area, 160, 30), Cyan);
        QCOMPARE(at(*area, 100, 31), Black);
        QCOMPARE(at(*area, 100, 65), Red);
        QCOMPARE(at(*area, 160, 65), Red);
        QCOMPARE(at(*area, 100, 66), Black);
        QCOMPARE(at(*area, 100, 50), Black);

        // The upper trace starts from the top-left corner: its first segment runs down
        // column 0 from (0, 0) to (0, 30). The lower trace's first segment covers the
        // same column from below the upper label; above it the label's leading blank
        // lets the cyan show.
        QCOMPARE(at(*area, 0, 1), Cyan);
        QCOMPARE(at(*area, 0, 28), Red);

        // Dotted zero lines: dots with gaps across the width, in the trace's colour.
        const int upperDots = countColour(*area, QRect(20, 25, 150, 1), Cyan);
        const int lowerDots = countColour(*area, QRect(20, 75, 150, 1), Red);
        QVERIFY2(upperDots > 30 && upperDots < 75, qPrintable(QString::number(upperDots)));
        QVERIFY2(lowerDots > 30 && lowerDots < 75, qPrintable(QString::number(lowerDots)));
        QCOMPARE(countColour(*area, QRect(20, 24, 150, 1), Cyan), 0);

        // Labels: white at the top left, red from y = 94.
        QVERIFY(countShades(*area, QRect(0, 0, 60, area->lineHeight()), White) > 10);
        QVERIFY(countShades(*area, QRect(0, 94, 60, area->lineHeight()), Red) > 10);
        QCOMPARE(countShades(*area, QRect(0, 80, 172, 13), Red), 0);
        QCOMPARE(countShades(*area, QRect(80, 0, 92, 20), White), 0);
    }

    void lowerTraceStartsBelowTheUpperLabel()
    {
        auto area = viewArea();
        DrawTimeView(*area, flatBuffer(8002, 0, 0), 12700, 0, 1, 1000, 100, 0.001f);
        // From (0, line height) to the first right point (0.08, 75): down column 0.
        const int top = area->lineHeight();
        QCOMPARE(at(*area, 0, top + 2), Red);
        QCOMPARE(at(*area, 0, 70), Red);
        QCOMPARE(at(*area, 0, 80), Black);
        // The upper trace runs along its zero line, solid.
        QCOMPARE(countColour(*area, QRect(20, 25, 150, 1), Cyan), 150);
    }

    void sineAtStartValues()
    {
        auto area = viewArea();
        DrawTimeView(*area, sineBuffer(), 12700, 0, 6, 1000, 100, 0.001f);
        // The 1000 Hz trace swings about 14 pixels either side of y = 25.
        int highest = 113, lowest = -1;
        for (int x = 60; x < 172; ++x)
            for (int y = 0; y < 50; ++y)
                if (at(*area, x, y) == Cyan && y != 25) {
                    highest = std::min(highest, y);
                    lowest = std::max(lowest, y);
                }
        QVERIFY2(highest >= 10 && highest <= 12, qPrintable(QString::number(highest)));
        QVERIFY2(lowest >= 38 && lowest <= 40, qPrintable(QString::number(lowest)));
        save(*area, "timeview");
    }

    void bitCodeLabel()
    {
        auto area = viewArea();
        DrawTimeView(*area, flatBuffer(8002, 0, 0), 12700, 8, 1, 1000, 100, 20e-6f);
        // "Bit Lenght =  20 uS" is far wider than " 1000 Hz".
        QVERIFY(countShades(*area, QRect(70, 0, 100, area->lineHeight()), White) > 10);
        save(*area, "timeview_bitcode");
    }

    void spanZeroDrawsAsSpan100()
    {
        const auto samples = sineBuffer();
        auto zero = viewArea();
        auto hundred = viewArea();
        DrawTimeView(*zero, samples, 0, 0, 1, 1000, 100, 0.001f);
        DrawTimeView(*hundred, samples, 100, 0, 1, 1000, 100, 0.001f);
        QCOMPARE(zero->canvas(), hundred->canvas());
    }

    void shortBuffersDrawWhatTheyHave()
    {
        auto area = viewArea();
        // 21 elements at span 1000: left points up to x = 20, right up to x = 19.
        DrawTimeView(*area, flatBuffer(21, 5000, -10000), 1000, 0, 1, 1000, 100, 0.001f);
        QCOMPARE(at(*area, 10, 30), Cyan);
        QCOMPARE(at(*area, 20, 30), Cyan);
        QCOMPARE(at(*area, 22, 30), Black);
        QCOMPARE(at(*area, 10, 65), Red);
        QCOMPARE(at(*area, 19, 65), Red);
        QCOMPARE(at(*area, 21, 65), Black);

        for (size_t size : { 0, 1, 2, 7999, 8000, 8001 }) {
            DrawTimeView(*area, flatBuffer(size, 5000, -10000), 1000, 0, 1, 1000, 100, 0.001f);
            QCOMPARE(at(*area, 100, 50), Black);
        }
        // No samples at all: zero lines and labels only.
        DrawTimeView(*area, {}, 12700, 0, 1, 1000, 100, 0.001f);
        QCOMPARE(countColour(*area, QRect(20, 26, 150, 40), Cyan), 0);
        QVERIFY(countColour(*area, QRect(20, 25, 150, 1), Cyan) > 30);
    }

    void redrawReplacesEverything()
    {
        auto area = viewArea();
        DrawTimeView(*area, flatBuffer(8002, 5000, -10000), 1000, 0, 1, 1000, 100, 0.001f);
        DrawTimeView(*area, flatBuffer(8002, -5000, 10000), 1000, 0, 1, 1000, 100, 0.001f);
        QCOMPARE(at(*area, 100, 30), Black);
        QCOMPARE(at(*area, 100, 20), Cyan);
        QCOMPARE(at(*area, 100, 85), Red);
        QCOMPARE(area->drawMode(), PictureBox::PenMode::Copy);
        QCOMPARE(area->drawWidth(), 1);
    }
};

QTEST_MAIN(TimeViewTest)
#include "TimeViewTest.moc"
