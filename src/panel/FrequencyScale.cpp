#include "FrequencyScale.h"

#include "NumberText.h"
#include "Rounding.h"

#include <QImage>

#include <cmath>
#include <vector>

namespace vellox {

namespace {

    constexpr int BaselineY = 30;
    constexpr int BaselineEnd = 798;
    constexpr int LabelY = 10;
    constexpr int TickSpacing = 4; // pixels per 100 Hz

    void moveCursor(PictureBox& area, float fromX, float toX)
    {
        area.setDrawWidth(CursorWidth);
        area.setForeColor(CursorColor);
        area.setDrawMode(PictureBox::PenMode::Xor);
        area.Line(QPointF(fromX, CursorTop), QPointF(fromX, CursorBottom));
        area.Line(QPointF(toX, CursorTop), QPointF(toX, CursorBottom));
    }

    // Baseline, ticks, labels and title are the same on every redraw: drawn once on a
    // blank canvas, they are kept and shown again on the next blank canvas that would get
    // the very same pixels. What decides the pixels: the canvas (size, format, resolution,
    // background), the style, the font, and the pen's mode and dot style, which the
    // drawing does not set (in XOR mode the crossings of ticks and baseline come out black).
    struct StaticScale {
        QSize size;
        QImage::Format format;
        int dotsPerMeterX;
        int dotsPerMeterY;
        QRgb background;
        QRgb scaleColor;
        QRgb titleColor;
        QString title;
        QPointF titlePosition;
        QString font;
        PictureBox::PenMode mode;
        PictureBox::PenStyle style;
        QImage picture; // not part of the key

        bool sameKey(const StaticScale& other) const
        {
            return size == other.size && format == other.format
                && dotsPerMeterX == other.dotsPerMeterX && dotsPerMeterY == other.dotsPerMeterY
                && background == other.background && scaleColor == other.scaleColor
                && titleColor == other.titleColor && title == other.title
                && titlePosition == other.titlePosition && font == other.font && mode == other.mode
                && style == other.style;
        }
    };

    StaticScale staticKey(const PictureBox& area, const ScaleStyle& style)
    {
        const QImage& canvas = area.canvas();
        return { canvas.size(), canvas.format(), canvas.dotsPerMeterX(), canvas.dotsPerMeterY(),
            area.background().rgb(), style.scaleColor.rgb(), style.titleColor.rgb(), style.title,
            style.titlePosition, area.font().key(), area.drawMode(), area.drawStyle(), {} };
    }

    // Two scales in two modes make four pictures; a few more cover other fonts or styles.
    constexpr size_t StaticScaleLimit = 8;

    // UI thread only, like every drawing.
    std::vector<StaticScale>& staticScales()
    {
        static std::vector<StaticScale> scales;
        return scales;
    }

    const StaticScale* findStaticScale(const StaticScale& key)
    {
        for (const StaticScale& scale : staticScales())
            if (scale.sameKey(key))
                return &scale;
        return nullptr;
    }

    void keepStaticScale(StaticScale key, const QImage& picture)
    {
        std::vector<StaticScale>& scales = staticScales();
        if (scales.size() >= StaticScaleLimit)
            scales.erase(scales.begin());
        key.picture = picture;
        scales.push_back(std::move(key));
    }

    void drawStaticScale(PictureBox& area, const ScaleStyle& style)
    {
        area.setDrawWidth(2);
        area.setForeColor(style.scaleColor);
        area.Line(QPointF(0, BaselineY), QPointF(BaselineEnd, BaselineY));

        for (int i = 0; i < TickCount; ++i) {
            const TickRow row = tickRow(i);
            area.setDrawWidth(row.width);
            area.Line(QPointF(row.x, row.fromY), QPointF(row.x, row.toY));
            if (!row.label.empty()) {
                area.setCurrent(QPointF(row.x, LabelY));
                area.Print(QString::fromStdString(row.label));
            }
        }

        area.setForeColor(style.titleColor);
        area.setCurrent(style.titlePosition);
        area.Print(style.title);
    }

} // namespace

ScaleStyle ScaleStyle::f1()
{
    return { QColor(0, 255, 255), QColor(0, 255, 255),
        QStringLiteral("F 1          Click to set any frequency"), QPointF(0, -2) };
}

ScaleStyle ScaleStyle::f2()
{
    return { QColor(255, 128, 128), QColor(255, 0, 0),
        QStringLiteral("F 2          Click to set any frequency"), QPointF(0, 0) };
}

QFont scaleFont()
{
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(11);
    return font;
}

TickRow tickRow(int i)
{
    const int x = TickSpacing * i;
    if (i == 0)
        return { 2, x, 22, 35, "0" };
    if (i % 50 == 0)
        return { 2, x, 22, 35, plainNumber(i * 100) + " Hz" };
    if (i % 10 == 0)
        return { 2, x, 25, 35, {} };
    return { 1, x, 27, 33, {} };
}

std::vector<TickRow> tickTable()
{
    std::vector<TickRow> rows;
    rows.reserve(TickCount);
    for (int i = 0; i < TickCount; ++i)
        rows.push_back(tickRow(i));
    return rows;
}

float cursorX(int16_t frequency)
{
    return float(double(frequency) / HzPerPixel);
}

int16_t pickFrequency(float x)
{
    const double p = x == 0.0f ? 1.0 : double(x);
    const double hz = p * HzPerPixel;
    if (!(hz >= MinFrequency)) // also NaN
        return MinFrequency;
    if (hz > MaxFrequency)
        return MaxFrequency;
    return roundToInt16(hz);
}

QString DrawMarcajeFrecventa(
    PictureBox& area, const ScaleStyle& style, int16_t frequency, float* markerX)
{
    if (!area.isBlank()) {
        drawStaticScale(area, style);
    } else {
        StaticScale key = staticKey(area, style);
        if (const StaticScale* kept = findStaticScale(key)) {
            area.restoreCanvas(kept->picture);
            // The pen as the drawing leaves it; the cursor below sets colour and width and
            // moves the position again.
            area.setDrawWidth(2);
            area.setForeColor(style.titleColor);
            area.setCurrent(
                QPointF(style.titlePosition.x(), style.titlePosition.y() + area.lineHeight()));
        } else {
            drawStaticScale(area, style);
            keepStaticScale(std::move(key), area.canvas());
        }
    }

    const QString text = QString::fromStdString(plainNumber(int(frequency)));

    const float c = cursorX(frequency);
    area.setDrawWidth(CursorWidth);
    area.setForeColor(CursorColor);
    area.Line(QPointF(c, CursorTop), QPointF(c, CursorBottom));
    if (markerX)
        *markerX = c;
    return text;
}

std::optional<int16_t> scaleMouseDown(PictureBox& area, float& markerX, int button, float x)
{
    if (button != 1)
        return std::nullopt;
    moveCursor(area, markerX, x);
    markerX = x;
    return pickFrequency(x);
}

std::optional<int16_t> scaleMouseMove(PictureBox& area, float& markerX, int button, float x)
{
    if (button != 1)
        return std::nullopt;
    moveCursor(area, markerX, x);
    area.setDrawMode(PictureBox::PenMode::Copy);
    const int16_t frequency = pickFrequency(x);
    markerX = x;
    return frequency;
}

} // namespace vellox
