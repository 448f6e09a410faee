#pragma once

// A picture area: a persistent canvas drawn in pixel coordinates with a pen state of
// its own (colour, width, copy or XOR, solid or dotted) that lasts from one operation to
// the next. paintEvent only copies the canvas to the screen.
//
// Geometry: the widget is the canvas plus a sunken border of BorderWidth pixels on every
// side, and has that fixed size (a 800 x 37 canvas makes an 804 x 41 widget). Canvas
// pixel (0, 0) is the first pixel inside the border; everything drawn outside the canvas
// is clipped away.
//
// Pixel rules (no antialiasing anywhere in lines):
// - Coordinates name pixel edges: pixel column c spans c .. c + 1.
// - Width 1: the pixels a Bresenham line from `from` to `to` passes, both end points
//   included. Dotted lines are always 1 pixel wide (a dot, then a gap of two pixels).
// - Width w > 1: the band of width w centred on the segment, with square ends that reach
//   w/2 beyond both end points; a pixel belongs to it when its centre does. So a width-2
//   vertical line at x = 40 covers columns 39 and 40, rows from y1 - 1 to y2.
// - Every line is one fill, each pixel touched once, so in XOR mode drawing the same line
//   twice gives back the canvas exactly.
// - XOR: the pixel's RGB becomes pen RGB XOR pixel RGB; the canvas stays opaque.

#include <QColor>
#include <QImage>
#include <QPointF>
#include <QWidget>

#include <span>

namespace vellox {

class PictureBox : public QWidget {
    Q_OBJECT

public:
    enum class PenMode { Copy, Xor };
    enum class PenStyle { Solid, Dotted };

    static constexpr int BorderWidth = 2;

    // `canvasSize` is the drawable area inside the border; `background` fills it on Cls
    // and at construction.
    PictureBox(QSize canvasSize, QColor background, QWidget* parent = nullptr);

    // Pen state. It starts black, 1 pixel wide, copy mode, solid.
    void setForeColor(QColor colour) { m_foreColor = colour; }
    void setDrawWidth(int width) { m_drawWidth = width; }
    void setDrawMode(PenMode mode) { m_drawMode = mode; }
    void setDrawStyle(PenStyle style) { m_drawStyle = style; }
    QColor foreColor() const { return m_foreColor; }
    int drawWidth() const { return m_drawWidth; }
    PenMode drawMode() const { return m_drawMode; }
    PenStyle drawStyle() const { return m_drawStyle; }

    QColor background() const { return m_background; }
    QSize canvasSize() const { return m_canvas.size(); }

    // The pen's position: where the next Line without a start point or Print begins.
    QPointF current() const { return m_current; }
    void setCurrent(QPointF point) { m_current = point; }

    // Clears the canvas to the background and puts the pen at (0, 0). The pen's colour,
    // width, mode and style stay as they were.
    void Cls();
    // A line from `from` to `to` with the current pen; the pen's position becomes `to`.
    void Line(QPointF from, QPointF to);
    // A line from the pen's position to `to`.
    void LineTo(QPointF to);
    // The same as calling LineTo for each point in turn (the same pixels), but with one
    // painter for all of them: the time view draws thousands of segments at a time.
    // Segments that lie wholly outside the canvas are skipped: they would colour nothing.
    void LinesTo(std::span<const QPointF> points);
    // Text with its top-left corner at the pen's position, in the widget's font and the
    // pen colour on a transparent background. Text ignores the pen mode, width and style:
    // it is always drawn as in copy mode. Afterwards the pen stands at the start of the
    // next text line: x back to the start x, y lower by the font's line spacing
    // (lineHeight()).
    void Print(const QString& text);
    // The distance by which Print moves the pen down, in pixels.
    int lineHeight() const;

    const QImage& canvas() const { return m_canvas; }

    // True from construction or Cls until the next drawing: the canvas is all background.
    bool isBlank() const { return m_blank; }
    // Counts every change of the canvas: equal counts mean the same pixels.
    quint64 generation() const { return m_generation; }
    // Replaces the canvas by `picture` (same size and format, shared, not copied): lets a
    // drawing that is the same every time be made once and shown again. The pen, its
    // position included, stays as it was.
    void restoreCanvas(const QImage& picture);

signals:
    // Pointer events in canvas pixel coordinates. `button` is a set of bits
    // (1 left, 2 right, 4 middle): on a press the button that went down, on a move the
    // buttons held. `shift` is the modifier state (1 Shift, 2 Ctrl, 4 Alt).
    // Moves are reported with no button held too (the widget tracks the mouse), and while
    // a button is held they continue outside the widget, so x and y may lie outside the
    // canvas, below 0 included.
    void MouseDown(int button, int shift, float x, float y);
    void MouseMove(int button, int shift, float x, float y);

protected:
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void beginPen(class QPainter& painter) const;
    void drawSegment(class QPainter& painter, QPointF from, QPointF to) const;
    void changed();
    void measureFont();

    QImage m_canvas;
    QColor m_background;
    QColor m_foreColor { Qt::black };
    int m_drawWidth = 1;
    PenMode m_drawMode = PenMode::Copy;
    PenStyle m_drawStyle = PenStyle::Solid;
    QPointF m_current { 0, 0 };
    bool m_blank = true;
    quint64 m_generation = 0;
    // The font's ascent and line spacing, measured once per font: Print runs for every
    // label of every scale redraw.
    qreal m_ascent = 0;
    int m_lineHeight = 0;
};

} // namespace vellox
