// The frequency scales drawn on a picture area, and the pointer's XOR cursor sequences.

#include "FrequencyScale.h"
#include "PictureTestUtil.h"

#include <QTest>

using namespace vellox;
using PenMode = PictureBox::PenMode;

namespace {

using vellox::testing::at;
using vellox::testing::save;

const QColor Black(0, 0, 0);
const QColor Cyan(0, 255, 255);
const QColor LightRed(255, 128, 128);
const QColor Red(255, 0, 0);

std::unique_ptr<PictureBox> scaleArea()
{
    auto area = std::make_unique<PictureBox>(QSize(ScaleWidth, ScaleHeight), Black);
    area->setFont(scaleFont());
    // The start pen of the scale areas.
    area->setForeColor(QColor(0, 192, 0));
    return area;
}

int countColour(const PictureBox& area, QRect box, QColor colour)
{
    int count = 0;
    for (int y = box.top(); y <= box.bottom(); ++y)
        for (int x = box.left(); x <= box.right(); ++x)
            if (at(area, x, y) == colour)
                ++count;
    return count;
}

// `image` with the 2-pixel cursor at integer x toggled by XOR green: columns x-1 and x,
// rows 4 to 20. Computed here pixel by pixel, independently of the drawing code.
QImage toggleCursor(QImage image, int x)
{
    for (int column = x - 1; column <= x; ++column)
        for (int y = CursorTop - 1; y <= CursorBottom; ++y)
            if (column >= 0 && column < image.width())
                image.setPixel(column, y, image.pixel(column, y) ^ 0x0000ff00u);
    return image;
}

// Pixels of `colour` and its darker shades, as antialiased text leaves them on black.
// The faintest edge pixels are too dark to tell the hue and do not count.
bool isShadeOf(QColor pixel, QColor colour)
{
    const int top = std::max({ colour.red(), colour.green(), colour.blue() });
    const int level = std::max({ pixel.red(), pixel.green(), pixel.blue() });
    if (level < 32)
        return false;
    auto near = [&](int have, int full) { return std::abs(have * top - full * level) <= 2 * top; };
    return near(pixel.red(), colour.red()) && near(pixel.green(), colour.green())
        && near(pixel.blue(), colour.blue());
}

int countShades(const PictureBox& area, QRect box, QColor colour)
{
    int count = 0;
    for (int y = box.top(); y <= box.bottom(); ++y)
        for (int x = box.left(); x <= box.right(); ++x)
            if (isShadeOf(at(area, x, y), colour))
                ++count;
    return count;
}

} // namespace

class FrequencyScaleTest : public QObject {
    Q_OBJECT

private slots:
    void f1ScaleAt1000Hz()
    {
        auto area = scaleArea();
        float marker = -1.0f;
        const QString text = DrawMarcajeFrecventa(*area, ScaleStyle::f1(), 1000, &marker);
        save(*area, "scale_f1");
        QCOMPARE(text, QStringLiteral("1000"));
        QCOMPARE(marker, 40.0f);

        // The pen ends green and 2 pixels wide, in the mode it had.
        QCOMPARE(area->foreColor(), CursorColor);
        QCOMPARE(area->drawWidth(), 2);
        QCOMPARE(area->drawMode(), PenMode::Copy);
    }

    void f1ScalePixels_data()
    {
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("y");
        QTest::addColumn<QColor>("colour");
        auto row = [](const char* what, int x, int y, QColor colour) {
            QTest::addRow("%s (%d, %d)", what, x, y) << x << y << colour;
        };
        // Baseline, 2 pixels: rows 29 and 30, from column 0 to 798.
        row("baseline", 102, 30, Cyan);
        row("baseline", 102, 29, Cyan);
        row("below the baseline", 102, 31, Black);
        row("above the baseline", 102, 28, Black);
        // Short tick at x = 100 (2500 Hz): column 100 alone, rows 27..33.
        row("short tick", 100, 27, Cyan);
        row("short tick", 100, 33, Cyan);
        row("below the short tick", 100, 34, Black);
        row("left of the short tick", 99, 32, Black);
        row("right of the short tick", 101, 32, Black);
        // Medium tick at x = 80 (2000 Hz): columns 79 and 80, rows 24..35.
        row("medium tick", 79, 34, Cyan);
        row("medium tick", 80, 24, Cyan);
        row("medium tick", 80, 35, Cyan);
        row("above the medium tick", 80, 23, Black);
        row("right of the medium tick", 81, 34, Black);
        // Long tick at x = 200 (5000 Hz): rows 21..35.
        row("long tick", 200, 21, Cyan);
        row("long tick", 200, 35, Cyan);
        // The 20000 Hz tick at x = 800 shows its left half in the last column.
        row("20000 Hz tick", 799, 34, Cyan);
        row("left of the 20000 Hz tick", 798, 34, Black);
        // The green cursor at x = 40 covers columns 39 and 40, rows 4..20.
        for (int y = 4; y <= 20; ++y) {
            row("cursor", 39, y, CursorColor);
            row("cursor", 40, y, CursorColor);
            row("right of the cursor", 41, y, Black);
        }
        row("below the cursor", 40, 21, Black);
    }

    void f1ScalePixels()
    {
        QFETCH(int, x);
        QFETCH(int, y);
        QFETCH(QColor, colour);
        auto area = scaleArea();
        DrawMarcajeFrecventa(*area, ScaleStyle::f1(), 1000);
        QCOMPARE(at(*area, x, y), colour);
    }

    void f1ScaleLabels_data()
    {
        // Labels at y = 10 beside their ticks, above the baseline; the title above them.
        // More than `least` cyan pixels in the box, or none when `least` is -1.
        QTest::addColumn<QRect>("box");
        QTest::addColumn<int>("least");
        QTest::newRow("5000 Hz") << QRect(200, 10, 60, 18) << 10;
        QTest::newRow("10000 Hz") << QRect(400, 10, 60, 18) << 10;
        QTest::newRow("15000 Hz") << QRect(600, 10, 60, 18) << 10;
        QTest::newRow("0") << QRect(0, 10, 10, 18) << 3;
        QTest::newRow("nothing between") << QRect(300, 0, 80, 21) << -1;
        QTest::newRow("F 1") << QRect(0, 0, 15, 9) << 5;
        QTest::newRow("Click ...") << QRect(40, 0, 200, 9) << 20;
    }

    void f1ScaleLabels()
    {
        QFETCH(QRect, box);
        QFETCH(int, least);
        auto area = scaleArea();
        DrawMarcajeFrecventa(*area, ScaleStyle::f1(), 1000);
        if (least < 0)
            QCOMPARE(countShades(*area, box, Cyan), 0);
        else
            QVERIFY(countShades(*area, box, Cyan) > least);
    }

    void f2ScaleAt100Hz()
    {
        auto area = scaleArea();
        const QString text = DrawMarcajeFrecventa(*area, ScaleStyle::f2(), 100);
        save(*area, "scale_f2");
        QCOMPARE(text, QStringLiteral("100"));
        QCOMPARE(at(*area, 102, 30), LightRed);
        QCOMPARE(at(*area, 100, 32), LightRed);
        QCOMPARE(at(*area, 3, 10), CursorColor);
        QCOMPARE(at(*area, 4, 10), CursorColor);
        QCOMPARE(at(*area, 5, 10), Black);
        QVERIFY(countShades(*area, QRect(200, 10, 60, 18), LightRed) > 10);
        QVERIFY(countShades(*area, QRect(40, 0, 200, 10), Red) > 20); // the title
        QCOMPARE(countShades(*area, QRect(40, 0, 200, 10), Cyan), 0);
    }

    void markerFollowsTheDrawnCursor_data()
    {
        QTest::addColumn<int>("frequency");
        QTest::addColumn<float>("marker");
        QTest::newRow("1000") << 1000 << 40.0f;
        QTest::newRow("440") << 440 << 17.6f;
        QTest::newRow("25") << 25 << 1.0f;
        QTest::newRow("20000") << 20000 << 800.0f;
    }

    void markerFollowsTheDrawnCursor()
    {
        QFETCH(int, frequency);
        QFETCH(float, marker);
        auto area = scaleArea();
        float markerX = 0.0f;
        DrawMarcajeFrecventa(*area, ScaleStyle::f1(), int16_t(frequency), &markerX);
        QCOMPARE(markerX, marker);
        // The next XOR at the marker removes exactly this cursor.
        const QImage drawn = area->canvas().copy();
        area->setDrawMode(PenMode::Xor);
        area->Line(QPointF(markerX, CursorTop), QPointF(markerX, CursorBottom));
        QCOMPARE(countColour(*area, QRect(0, 0, 800, 22), CursorColor), 0);
        area->Line(QPointF(markerX, CursorTop), QPointF(markerX, CursorBottom));
        QCOMPARE(area->canvas(), drawn);
    }

    void drawingKeepsXorModeAndCrossingsTurnBlack()
    {
        auto area = scaleArea();
        area->setDrawMode(PenMode::Xor);
        DrawMarcajeFrecventa(*area, ScaleStyle::f1(), 1000);
        QCOMPARE(area->drawMode(), PenMode::Xor);
        QCOMPARE(at(*area, 100, 30), Black); // short tick over the baseline
        QCOMPARE(at(*area, 102, 30), Cyan);
        QCOMPARE(at(*area, 100, 32), Cyan);
        QCOMPARE(at(*area, 40, 10), CursorColor);
    }

    void ignoredPointerEventsChangeNothing_data()
    {
        QTest::addColumn<bool>("press");
        QTest::addColumn<int>("button");
        QTest::newRow("press right") << true << 2;
        QTest::newRow("press middle") << true << 4;
        QTest::newRow("press none") << true << 0;
        QTest::newRow("move none") << false << 0;
        QTest::newRow("move right") << false << 2;
        QTest::newRow("move left and right") << false << 3;
        QTest::newRow("move left and middle") << false << 5;
    }

    void ignoredPointerEventsChangeNothing()
    {
        QFETCH(bool, press);
        QFETCH(int, button);
        auto area = scaleArea();
        float marker = 40.0f;
        DrawMarcajeFrecventa(*area, ScaleStyle::f1(), 1000);
        const QImage before = area->canvas().copy();
        const auto result = press ? scaleMouseDown(*area, marker, button, 100.0f)
                                  : scaleMouseMove(*area, marker, button, 100.0f);
        QVERIFY(!result.has_value());
        QCOMPARE(marker, 40.0f);
        QCOMPARE(area->canvas(), before);
        QCOMPARE(area->drawMode(), PenMode::Copy);
    }

    void pressMovesTheCursorWithXor()
    {
        auto area = scaleArea();
        float marker = 40.0f;
        DrawMarcajeFrecventa(*area, ScaleStyle::f1(), 1000);
        const QImage before = area->canvas().copy();

        const auto frequency = scaleMouseDown(*area, marker, 1, 100.0f);
        QCOMPARE(frequency, std::optional<int16_t>(2500));
        QCOMPARE(marker, 100.0f);
        QCOMPARE(area->canvas(), toggleCursor(toggleCursor(before, 40), 100));
        QCOMPARE(at(*area, 40, 10), Black); // the old cursor is gone
        QCOMPARE(at(*area, 100, 10), CursorColor);
        // The pen stays green, 2 wide, in XOR mode.
        QCOMPARE(area->drawMode(), PenMode::Xor);
        QCOMPARE(area->foreColor(), CursorColor);
        QCOMPARE(area->drawWidth(), 2);
    }

    void pressAtTheFirstColumnSets25Hz()
    {
        auto area = scaleArea();
        float marker = 40.0f;
        DrawMarcajeFrecventa(*area, ScaleStyle::f1(), 1000);
        QCOMPARE(scaleMouseDown(*area, marker, 1, 0.0f), std::optional<int16_t>(25));
        QCOMPARE(marker, 0.0f);
    }

    void dragMovesTheCursorAndReturnsToCopy()
    {
        auto area = scaleArea();
        float marker = 40.0f;
        DrawMarcajeFrecventa(*area, ScaleStyle::f1(), 1000);
        const QImage before = area->canvas().copy();

        QCOMPARE(scaleMouseMove(*area, marker, 1, 120.0f), std::optional<int16_t>(3000));
        QCOMPARE(marker, 120.0f);
        QCOMPARE(area->canvas(), toggleCursor(toggleCursor(before, 40), 120));
        QCOMPARE(area->drawMode(), PenMode::Copy);

        QCOMPARE(scaleMouseMove(*area, marker, 1, 799.0f), std::optional<int16_t>(19975));
        QCOMPARE(at(*area, 120, 10), Black);
        QCOMPARE(at(*area, 799, 10), CursorColor);
    }

    void verticalDragLeavesThePictureAlone()
    {
        auto area = scaleArea();
        float marker = 40.0f;
        DrawMarcajeFrecventa(*area, ScaleStyle::f1(), 1000);
        const QImage before = area->canvas().copy();
        for (int step = 0; step < 3; ++step)
            QCOMPARE(scaleMouseMove(*area, marker, 1, 40.0f), std::optional<int16_t>(1000));
        QCOMPARE(area->canvas(), before);
        QCOMPARE(marker, 40.0f);
    }

    void dragPastTheEndsSetsTheNearestEnd()
    {
        auto area = scaleArea();
        float marker = 40.0f;
        DrawMarcajeFrecventa(*area, ScaleStyle::f1(), 1000);
        QCOMPARE(scaleMouseMove(*area, marker, 1, -30.0f), std::optional<int16_t>(20));
        QCOMPARE(marker, -30.0f);
        QCOMPARE(scaleMouseMove(*area, marker, 1, 950.0f), std::optional<int16_t>(20000));
        QCOMPARE(scaleMouseMove(*area, marker, 1, 1.0e7f), std::optional<int16_t>(20000));
    }

    // The window's sequence for a press at x = 0 with the redraw that its spinner's change
    // brings: the redraw puts the cursor at 25 / 25 = 1 and, given the marker, moves the
    // marker there too, so a second press at x = 1 (same frequency, no redraw) leaves
    // exactly one cursor, at x = 1.
    void redrawKeepsMarkerAndCursorTogether()
    {
        auto area = scaleArea();
        float marker = 40.0f;
        DrawMarcajeFrecventa(*area, ScaleStyle::f1(), 1000, &marker);
        const auto first = scaleMouseDown(*area, marker, 1, 0.0f);
        QCOMPARE(first, std::optional<int16_t>(25));
        area->Cls();
        DrawMarcajeFrecventa(*area, ScaleStyle::f1(), *first, &marker);
        QCOMPARE(marker, 1.0f);
        const QImage redrawn = area->canvas().copy();
        QCOMPARE(scaleMouseDown(*area, marker, 1, 1.0f), std::optional<int16_t>(25));
        QCOMPARE(area->canvas(), redrawn);

        // Left at the pointer's 0 instead, the marker misses the cursor and the same press
        // leaves a stray line.
        float stale = 0.0f;
        scaleMouseDown(*area, stale, 1, 1.0f);
        QVERIFY(area->canvas() != redrawn);
    }
};

QTEST_MAIN(FrequencyScaleTest)
#include "FrequencyScaleTest.moc"
