// The picture area: canvas, pen modes and styles, pixel geometry, text, pointer signals.

#include "PictureBox.h"
#include "PictureTestUtil.h"

#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>

#include <random>

using vellox::PictureBox;
using PenMode = PictureBox::PenMode;
using PenStyle = PictureBox::PenStyle;

namespace {

using vellox::testing::at;

const QColor Black(0, 0, 0);
const QColor Green(0, 255, 0);
const QColor Cyan(0, 255, 255);

// The columns of row y that differ from the background.
QList<int> markedColumns(const PictureBox& box, int y)
{
    QList<int> columns;
    for (int x = 0; x < box.canvas().width(); ++x)
        if (at(box, x, y) != box.background())
            columns.append(x);
    return columns;
}

QList<int> markedRows(const PictureBox& box, int x)
{
    QList<int> rows;
    for (int y = 0; y < box.canvas().height(); ++y)
        if (at(box, x, y) != box.background())
            rows.append(y);
    return rows;
}

QList<int> range(int first, int last)
{
    QList<int> values;
    for (int v = first; v <= last; ++v)
        values.append(v);
    return values;
}

// Noise over the whole canvas, so that XOR has something other than black to work on.
void fillWithNoise(PictureBox& box)
{
    std::mt19937 random(7);
    for (int y = 0; y < box.canvasSize().height(); ++y)
        for (int x = 0; x < box.canvasSize().width(); ++x) {
            box.setForeColor(QColor::fromRgb(QRgb(random() & 0xffffffu)));
            box.Line(QPointF(x, y), QPointF(x, y));
        }
    box.setForeColor(Black);
}

} // namespace

class PictureBoxTest : public QObject {
    Q_OBJECT

private slots:
    void startsFilledWithTheBackgroundInsideItsBorder()
    {
        PictureBox box(QSize(800, 37), Black);
        QCOMPARE(box.size(), QSize(804, 41));
        QCOMPARE(box.canvasSize(), QSize(800, 37));
        QCOMPARE(box.canvas().format(), QImage::Format_RGB32);
        QCOMPARE(at(box, 0, 0), Black);
        QCOMPARE(at(box, 799, 36), Black);
        QCOMPARE(box.drawMode(), PenMode::Copy);
        QCOMPARE(box.drawStyle(), PenStyle::Solid);
        QCOMPARE(box.drawWidth(), 1);
        QCOMPARE(box.current(), QPointF(0, 0));
    }

    void clsClearsAndKeepsThePen()
    {
        PictureBox box(QSize(50, 30), QColor(10, 20, 30));
        box.setForeColor(Green);
        box.setDrawWidth(2);
        box.setDrawMode(PenMode::Xor);
        box.setDrawStyle(PenStyle::Dotted);
        box.Line(QPointF(0, 0), QPointF(49, 29));
        box.Cls();
        QImage expected(50, 30, QImage::Format_RGB32);
        expected.fill(QColor(10, 20, 30));
        QCOMPARE(box.canvas(), expected);
        QCOMPARE(box.current(), QPointF(0, 0));
        QCOMPARE(box.foreColor(), Green);
        QCOMPARE(box.drawWidth(), 2);
        QCOMPARE(box.drawMode(), PenMode::Xor);
        QCOMPARE(box.drawStyle(), PenStyle::Dotted);
    }

    void copyModeLinesTakeThePenColour()
    {
        PictureBox box(QSize(100, 50), Black);
        box.setForeColor(Cyan);
        box.Line(QPointF(2, 3), QPointF(10, 3));
        QCOMPARE(markedColumns(box, 3), range(2, 10));
        QCOMPARE(at(box, 5, 3), Cyan);
        QVERIFY(markedColumns(box, 2).isEmpty());
        QVERIFY(markedColumns(box, 4).isEmpty());
        QCOMPARE(box.current(), QPointF(10, 3));

        // Copy replaces whatever stood there.
        box.setForeColor(QColor(255, 0, 0));
        box.Line(QPointF(5, 0), QPointF(5, 10));
        QCOMPARE(at(box, 5, 3), QColor(255, 0, 0));
        QCOMPARE(markedRows(box, 5), range(0, 10));
    }

    void wideVerticalLineCoversTheColumnsEitherSideOfX()
    {
        // A 2-pixel cursor at x = 40 from y = 5 to 20.
        PictureBox box(QSize(100, 37), Black);
        box.setForeColor(Green);
        box.setDrawWidth(2);
        box.Line(QPointF(40, 5), QPointF(40, 20));
        QCOMPARE(markedColumns(box, 10), QList<int>({ 39, 40 }));
        QCOMPARE(markedRows(box, 39), range(4, 20));
        QCOMPARE(markedRows(box, 40), range(4, 20));
        QCOMPARE(at(box, 40, 10), Green);
    }

    void wideHorizontalLine()
    {
        PictureBox box(QSize(100, 37), Black);
        box.setForeColor(Cyan);
        box.setDrawWidth(2);
        box.Line(QPointF(0, 30), QPointF(50, 30));
        QCOMPARE(markedRows(box, 20), QList<int>({ 29, 30 }));
        QCOMPARE(markedColumns(box, 30), range(0, 50));
    }

    void lineAtTheEdgeIsClipped()
    {
        PictureBox box(QSize(800, 37), Black);
        box.setForeColor(Cyan);
        box.setDrawWidth(2);
        box.Line(QPointF(800, 22), QPointF(800, 35));
        QCOMPARE(markedColumns(box, 30), QList<int>({ 799 }));
        box.Cls();
        box.Line(QPointF(0, 22), QPointF(0, 35));
        QCOMPARE(markedColumns(box, 30), QList<int>({ 0 }));
    }

    void xorTwiceRestoresExactly_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<bool>("dotted");
        QTest::addColumn<QPointF>("from");
        QTest::addColumn<QPointF>("to");
        QTest::newRow("cursor") << 2 << false << QPointF(40, 5) << QPointF(40, 20);
        QTest::newRow("cursor at 17.6") << 2 << false << QPointF(17.6, 5) << QPointF(17.6, 20);
        QTest::newRow("cursor half off the left")
            << 2 << false << QPointF(0.3, 5) << QPointF(0.3, 20);
        QTest::newRow("wide diagonal") << 2 << false << QPointF(3, 2) << QPointF(90, 33);
        QTest::newRow("thin diagonal") << 1 << false << QPointF(3.3, 2.7) << QPointF(90, 33);
        QTest::newRow("thin steep") << 1 << false << QPointF(50, 0) << QPointF(52, 36);
        QTest::newRow("dotted") << 1 << true << QPointF(0, 25) << QPointF(176, 25);
        QTest::newRow("dot") << 2 << false << QPointF(10, 10) << QPointF(10, 10);
    }

    void xorTwiceRestoresExactly()
    {
        QFETCH(int, width);
        QFETCH(bool, dotted);
        QFETCH(QPointF, from);
        QFETCH(QPointF, to);
        PictureBox box(QSize(200, 37), Black);
        fillWithNoise(box);
        const QImage before = box.canvas().copy();
        box.setForeColor(Green);
        box.setDrawWidth(width);
        box.setDrawStyle(dotted ? PenStyle::Dotted : PenStyle::Solid);
        box.setDrawMode(PenMode::Xor);
        box.Line(from, to);
        QVERIFY(box.canvas() != before);
        box.Line(from, to);
        QCOMPARE(box.canvas(), before);
    }

    void xorCombinesColours()
    {
        PictureBox box(QSize(20, 20), Black);
        box.setForeColor(Cyan);
        box.Line(QPointF(0, 5), QPointF(19, 5)); // copy: cyan row
        box.setForeColor(Green);
        box.setDrawMode(PenMode::Xor);
        box.Line(QPointF(10, 0), QPointF(10, 19));
        QCOMPARE(at(box, 10, 2), Green); // black ^ green
        QCOMPARE(at(box, 10, 5), QColor(0, 0, 255)); // cyan ^ green
        QCOMPARE(qAlpha(box.canvas().pixel(10, 5)), 255); // stays opaque
        box.Line(QPointF(10, 0), QPointF(10, 19));
        QCOMPARE(at(box, 10, 5), Cyan);
        QCOMPARE(at(box, 10, 2), Black);
    }

    void dottedLineHasGaps()
    {
        PictureBox box(QSize(200, 40), Black);
        box.setForeColor(Cyan);
        box.setDrawWidth(2); // dotted lines are 1 pixel wide whatever the width
        box.setDrawStyle(PenStyle::Dotted);
        box.Line(QPointF(0, 25), QPointF(176, 25));
        QVERIFY(markedRows(box, 100).size() <= 1);
        const QList<int> dots = markedColumns(box, 25);
        QVERIFY2(dots.size() > 176 / 4 && dots.size() < 176 / 2,
            qPrintable(QString::number(dots.size())));
        for (int i = 1; i < dots.size(); ++i)
            QVERIFY(dots[i] - dots[i - 1] >= 2); // never two dots side by side
        QVERIFY(dots.first() <= 3);
        QVERIFY(dots.last() >= 172);
        QCOMPARE(at(box, dots.first(), 25), Cyan);
    }

    void zeroLengthLineIsADot()
    {
        PictureBox box(QSize(20, 20), Black);
        box.setForeColor(Green);
        box.Line(QPointF(5, 5), QPointF(5, 5));
        QCOMPARE(markedColumns(box, 5), QList<int>({ 5 }));
        QCOMPARE(markedRows(box, 5), QList<int>({ 5 }));
    }

    void lineToStartsAtThePen()
    {
        PictureBox box(QSize(50, 50), Black);
        box.setForeColor(Green);
        box.setCurrent(QPointF(3, 7));
        box.LineTo(QPointF(20, 7));
        QCOMPARE(markedColumns(box, 7), range(3, 20));
        box.LineTo(QPointF(20, 15));
        QCOMPARE(markedRows(box, 20), range(7, 15));
        QCOMPARE(box.current(), QPointF(20, 15));
    }

    void linesToDrawsWhatLineToDraws()
    {
        const QList<QPointF> points { { 0, 25 }, { 3.7, 30.2 }, { 9.1, 12 }, { 9.1, 12 },
            { 40, 36 }, { 120, 0 }, { 1000, 20 } };
        PictureBox one(QSize(150, 40), Black);
        PictureBox many(QSize(150, 40), Black);
        for (PictureBox* box : { &one, &many }) {
            box->setForeColor(Cyan);
            box->setCurrent(QPointF(0, 0));
        }
        for (const QPointF& p : points)
            one.LineTo(p);
        many.LinesTo(std::span<const QPointF>(points.data(), size_t(points.size())));
        QCOMPARE(many.canvas(), one.canvas());
        QCOMPARE(many.current(), one.current());
    }

    void printPutsTextAtThePenAndMovesALineDown()
    {
        PictureBox box(QSize(100, 60), Black);
        box.setForeColor(QColor(255, 255, 255));
        box.setDrawMode(PenMode::Xor); // text ignores the mode
        box.setCurrent(QPointF(10, 10));
        box.Print(QStringLiteral("HHH"));
        QCOMPARE(box.current(), QPointF(10, 10 + box.lineHeight()));
        QVERIFY(box.lineHeight() > 5);
        int marked = 0;
        bool fullColour = false;
        for (int y = 0; y < 60; ++y)
            for (int x = 0; x < 100; ++x)
                if (at(box, x, y) != Black) {
                    ++marked;
                    QVERIFY2(x >= 10 && y >= 10 && y < 10 + box.lineHeight(),
                        qPrintable(QStringLiteral("%1,%2").arg(x).arg(y)));
                    // Antialiased: grey shades of the white pen, some of them bright.
                    const QColor pixel = at(box, x, y);
                    QCOMPARE(pixel.red(), pixel.green());
                    QCOMPARE(pixel.red(), pixel.blue());
                    fullColour = fullColour || pixel.red() > 200;
                }
        QVERIFY(marked > 10);
        QVERIFY(fullColour);
    }

    void printIsTransparent()
    {
        PictureBox box(QSize(100, 40), Black);
        box.setForeColor(Cyan);
        box.setDrawWidth(1);
        box.Line(QPointF(0, 15), QPointF(99, 15));
        box.setForeColor(QColor(255, 0, 0));
        box.setCurrent(QPointF(10, 8));
        box.Print(QStringLiteral("."));
        // Away from the glyph the line drawn before still shows through the text's box.
        QCOMPARE(at(box, 60, 15), Cyan);
        QCOMPARE(at(box, 13, 5), Black);
    }

    void paintShowsTheCanvasInsideTheBorder()
    {
        PictureBox box(QSize(30, 20), Black);
        box.setForeColor(Green);
        box.Line(QPointF(5, 5), QPointF(5, 5));
        const QImage shown = box.grab().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(shown.size(), QSize(34, 24));
        QCOMPARE(shown.pixelColor(PictureBox::BorderWidth + 5, PictureBox::BorderWidth + 5), Green);
        QCOMPARE(shown.copy(2, 2, 30, 20), box.canvas());
        QVERIFY(shown.pixelColor(0, 0) != Black); // the border
    }

    void pointerSignalsInCanvasCoordinates()
    {
        PictureBox box(QSize(800, 37), Black);
        QSignalSpy downs(&box, &PictureBox::MouseDown);
        QSignalSpy moves(&box, &PictureBox::MouseMove);

        QTest::mousePress(&box, Qt::LeftButton, Qt::NoModifier, QPoint(42, 12));
        QCOMPARE(downs.count(), 1);
        QCOMPARE(downs.at(0).at(0).toInt(), 1);
        QCOMPARE(downs.at(0).at(1).toInt(), 0);
        QCOMPARE(downs.at(0).at(2).toFloat(), 40.0f);
        QCOMPARE(downs.at(0).at(3).toFloat(), 10.0f);
        QTest::mouseRelease(&box, Qt::LeftButton, Qt::NoModifier, QPoint(42, 12));

        QTest::mousePress(
            &box, Qt::RightButton, Qt::ShiftModifier | Qt::ControlModifier, QPoint(2, 2));
        QCOMPARE(downs.at(1).at(0).toInt(), 2);
        QCOMPARE(downs.at(1).at(1).toInt(), 3);
        QCOMPARE(downs.at(1).at(2).toFloat(), 0.0f);
        QTest::mouseRelease(&box, Qt::RightButton, Qt::NoModifier, QPoint(2, 2));

        QTest::mousePress(&box, Qt::MiddleButton, Qt::AltModifier, QPoint(2, 2));
        QCOMPARE(downs.at(2).at(0).toInt(), 4);
        QCOMPARE(downs.at(2).at(1).toInt(), 4);
        QTest::mouseRelease(&box, Qt::MiddleButton, Qt::NoModifier, QPoint(2, 2));

        // Moves carry the buttons held, and may stand outside the widget while dragging.
        auto sendMove = [&](QPointF position, Qt::MouseButtons held) {
            QMouseEvent move(QEvent::MouseMove, position, box.mapToGlobal(position), Qt::NoButton,
                held, Qt::NoModifier);
            QApplication::sendEvent(&box, &move);
        };
        sendMove(QPointF(102.5, 7), Qt::LeftButton);
        sendMove(QPointF(-10, 7), Qt::LeftButton | Qt::RightButton);
        sendMove(QPointF(900, 7), Qt::NoButton);
        QCOMPARE(moves.count(), 3);
        QCOMPARE(moves.at(0).at(0).toInt(), 1);
        QCOMPARE(moves.at(0).at(2).toFloat(), 100.5f);
        QCOMPARE(moves.at(0).at(3).toFloat(), 5.0f);
        QCOMPARE(moves.at(1).at(0).toInt(), 3);
        QCOMPARE(moves.at(1).at(2).toFloat(), -12.0f);
        QCOMPARE(moves.at(2).at(0).toInt(), 0);
        QCOMPARE(moves.at(2).at(2).toFloat(), 898.0f);
    }
};

QTEST_MAIN(PictureBoxTest)
#include "PictureBoxTest.moc"
