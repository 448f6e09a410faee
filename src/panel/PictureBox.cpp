#include "PictureBox.h"

#include "InputBits.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <qdrawutil.h>

#include <algorithm>
#include <vector>

namespace vellox {

PictureBox::PictureBox(QSize canvasSize, QColor background, QWidget* parent)
    : QWidget(parent)
    , m_canvas(canvasSize, QImage::Format_RGB32)
    , m_background(background)
{
    m_canvas.fill(m_background);
    setFixedSize(canvasSize + QSize(2 * BorderWidth, 2 * BorderWidth));
    setMouseTracking(true);
    // The canvas covers every pixel inside the border; no background needs painting.
    setAttribute(Qt::WA_OpaquePaintEvent);
    measureFont();
}

void PictureBox::changed()
{
    m_blank = false;
    ++m_generation;
    update();
}

void PictureBox::measureFont()
{
    const QFontMetricsF metrics(font());
    m_ascent = metrics.ascent();
    m_lineHeight = QFontMetrics(font()).lineSpacing();
}

void PictureBox::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange)
        measureFont();
    QWidget::changeEvent(event);
}

void PictureBox::Cls()
{
    m_canvas.fill(m_background);
    m_current = QPointF(0, 0);
    m_blank = true;
    ++m_generation;
    update();
}

void PictureBox::restoreCanvas(const QImage& picture)
{
    Q_ASSERT(picture.size() == m_canvas.size() && picture.format() == m_canvas.format());
    m_canvas = picture;
    changed();
}

void PictureBox::beginPen(QPainter& painter) const
{
    painter.setRenderHint(QPainter::Antialiasing, false);
    // The pen colour is always opaque: with XOR an alpha below 255 would blend instead.
    const QColor colour(m_foreColor.red(), m_foreColor.green(), m_foreColor.blue());
    const bool dotted = m_drawStyle == PenStyle::Dotted;
    QPen pen(colour);
    pen.setWidth(dotted ? 1 : std::max(1, m_drawWidth));
    pen.setStyle(dotted ? Qt::DotLine : Qt::SolidLine);
    // Square ends: a 1-pixel line includes its last pixel, a wide one reaches half its
    // width beyond both ends, as a pen tip of that size would.
    pen.setCapStyle(Qt::SquareCap);
    pen.setJoinStyle(Qt::MiterJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.setCompositionMode(m_drawMode == PenMode::Xor ? QPainter::RasterOp_SourceXorDestination
                                                          : QPainter::CompositionMode_Source);
}

void PictureBox::drawSegment(QPainter& painter, QPointF from, QPointF to) const
{
    if (from == to) {
        // A line of no length still marks the pen's dot, as a pen set down would.
        painter.drawPoint(from);
        return;
    }
    painter.drawLine(from, to);
}

void PictureBox::Line(QPointF from, QPointF to)
{
    {
        QPainter painter(&m_canvas);
        beginPen(painter);
        drawSegment(painter, from, to);
    }
    m_current = to;
    changed();
}

void PictureBox::LineTo(QPointF to)
{
    Line(m_current, to);
}

void PictureBox::LinesTo(std::span<const QPointF> points)
{
    if (points.empty())
        return;
    // A segment whose box lies this far outside the canvas colours no pixel of it: the
    // widest pen reaches half its width beyond the segment, rounding one pixel more.
    const qreal margin = qreal(std::max(1, m_drawWidth)) + 2;
    const qreal left = -margin;
    const qreal top = -margin;
    const qreal right = m_canvas.width() + margin;
    const qreal bottom = m_canvas.height() + margin;
    auto outside = [&](QPointF a, QPointF b) {
        return (a.x() < left && b.x() < left) || (a.x() > right && b.x() > right)
            || (a.y() < top && b.y() < top) || (a.y() > bottom && b.y() > bottom);
    };
    {
        QPainter painter(&m_canvas);
        beginPen(painter);
        // A thin solid pen draws every line alone whether given one by one or as a list,
        // and in both modes the result does not depend on the order (copy paints one
        // colour, XOR flips by it), so the lines go to the painter in one call and the
        // points of no length in another. A dotted pattern or a wide pen may carry over
        // between the lines of one call: those are drawn one by one.
        const bool batch = m_drawStyle == PenStyle::Solid && m_drawWidth <= 1;
        std::vector<QLineF> lines;
        std::vector<QPointF> dots;
        if (batch)
            lines.reserve(points.size());
        for (const QPointF& point : points) {
            if (!outside(m_current, point)) {
                if (!batch)
                    drawSegment(painter, m_current, point);
                else if (m_current == point)
                    dots.push_back(point);
                else
                    lines.emplace_back(m_current, point);
            }
            m_current = point;
        }
        if (!lines.empty())
            painter.drawLines(lines.data(), int(lines.size()));
        if (!dots.empty())
            painter.drawPoints(dots.data(), int(dots.size()));
    }
    changed();
}

int PictureBox::lineHeight() const
{
    return m_lineHeight;
}

void PictureBox::Print(const QString& text)
{
    {
        QPainter painter(&m_canvas);
        painter.setFont(font());
        painter.setPen(QColor(m_foreColor.red(), m_foreColor.green(), m_foreColor.blue()));
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        painter.drawText(QPointF(m_current.x(), m_current.y() + m_ascent), text);
    }
    m_current.setY(m_current.y() + m_lineHeight);
    changed();
}

void PictureBox::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    // The widget is opaque, so the border must cover every pixel around the canvas: a
    // plain sunken panel in the palette's shades, the same under every style.
    qDrawShadePanel(&painter, rect(), palette(), true, BorderWidth);
    painter.drawImage(QPoint(BorderWidth, BorderWidth), m_canvas);
}

void PictureBox::mousePressEvent(QMouseEvent* event)
{
    const QPointF at = event->position() - QPointF(BorderWidth, BorderWidth);
    emit MouseDown(
        buttonBits(event->button()), shiftBits(event->modifiers()), float(at.x()), float(at.y()));
}

void PictureBox::mouseMoveEvent(QMouseEvent* event)
{
    const QPointF at = event->position() - QPointF(BorderWidth, BorderWidth);
    emit MouseMove(
        buttonBits(event->buttons()), shiftBits(event->modifiers()), float(at.x()), float(at.y()));
}

} // namespace vellox
