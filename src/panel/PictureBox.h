#pragma once

// A picture area: a persistent canvas drawn in pixel coordinates with a pen state of
// its own (colour, width, copy or XOR, solid or dotted) that lasts from one operation to
// the next. paintEvent only copies the canvas to the screen.

#include <QColor>
#include <QImage>
#include <QPointF>
#include <QWidget>

namespace vellox {

class PictureBox : public QWidget {
    Q_OBJECT

public:
    enum class PenMode { Copy, Xor };
    enum class PenStyle { Solid, Dotted };

    // `canvasSize` is the drawable area inside the border; `background` fills it on Cls.
    PictureBox(QSize canvasSize, QColor background, QWidget* parent = nullptr);

    // Pen state.
    void setForeColor(QColor colour) { m_foreColor = colour; }
    void setDrawWidth(int width) { m_drawWidth = width; }
    void setDrawMode(PenMode mode) { m_drawMode = mode; }
    void setDrawStyle(PenStyle style) { m_drawStyle = style; }
    QColor foreColor() const { return m_foreColor; }
    int drawWidth() const { return m_drawWidth; }
    PenMode drawMode() const { return m_drawMode; }
    PenStyle drawStyle() const { return m_drawStyle; }

    // The pen's position: where the next Line without a start point or Print begins.
    QPointF current() const { return m_current; }
    void setCurrent(QPointF point) { m_current = point; }

    // Clears the canvas to the background and puts the pen at (0, 0).
    void Cls();
    // A line from `from` to `to` with the current pen; the pen's position becomes `to`.
    void Line(QPointF from, QPointF to);
    // A line from the pen's position to `to`.
    void LineTo(QPointF to);
    // Text with its top-left corner at the pen's position, transparent background;
    // afterwards the pen stands at the start of the next text line (x back to the
    // start x, y one line lower).
    void Print(const QString& text);

    const QImage& canvas() const { return m_canvas; }

signals:
    // Pointer events in canvas pixel coordinates. `button` is a set of bits
    // (1 left, 2 right, 4 middle): on a press the button that went down, on a move the
    // buttons held. `shift` is the modifier state (1 Shift, 2 Ctrl, 4 Alt).
    void MouseDown(int button, int shift, float x, float y);
    void MouseMove(int button, int shift, float x, float y);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    QImage m_canvas;
    QColor m_background;
    QColor m_foreColor { Qt::black };
    int m_drawWidth = 1;
    PenMode m_drawMode = PenMode::Copy;
    PenStyle m_drawStyle = PenStyle::Solid;
    QPointF m_current { 0, 0 };
};

} // namespace vellox
