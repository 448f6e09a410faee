// Draws the program's icon: two sine-like curves, F1 in cyan and F2 in red as on the
// front panel, on a dark rounded square. Writes the SVG source and the PNG sizes from the
// same point lists, so that every size shows the same picture. Not part of the normal
// build; run it after changing the picture:
//   cmake --build build --target vellox_icon_maker
//   QT_QPA_PLATFORM=offscreen build/src/app/vellox_icon_maker src/app/resources

#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QTextStream>

#include <cmath>
#include <cstdio>
#include <vector>

namespace {

constexpr double Canvas = 256.0; // the SVG's coordinate square
constexpr double Corner = 48.0;
const QColor Background(0x1b, 0x22, 0x30);
const QColor Frame(0x3a, 0x46, 0x5c);
const QColor Cyan(0, 255, 255);
const QColor Red(255, 0, 0);

struct Curve {
    QColor colour;
    double amplitude; // in canvas units
    double periods; // across the drawn width
    double phase; // radians
    double width; // stroke width in canvas units
};

const Curve Curves[] = {
    { Red, 44.0, 3.0, 0.0, 14.0 },
    { Cyan, 72.0, 1.5, 0.0, 18.0 },
};

constexpr double Left = 36.0;
constexpr double Right = 220.0;
constexpr double Middle = 128.0;
constexpr int Points = 97;

std::vector<QPointF> curvePoints(const Curve& c)
{
    std::vector<QPointF> points;
    for (int k = 0; k < Points; ++k) {
        const double t = double(k) / (Points - 1);
        const double x = Left + t * (Right - Left);
        const double y = Middle - c.amplitude * std::sin(2.0 * M_PI * c.periods * t + c.phase);
        points.emplace_back(x, y);
    }
    return points;
}

QString svg()
{
    QString out;
    QTextStream s(&out);
    s << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"256\" height=\"256\" "
         "viewBox=\"0 0 256 256\">\n";
    s << "  <title>Vellox</title>\n";
    s << "  <rect x=\"4\" y=\"4\" width=\"248\" height=\"248\" rx=\"" << Corner << "\" ry=\""
      << Corner << "\" fill=\"" << Background.name() << "\" stroke=\"" << Frame.name()
      << "\" stroke-width=\"8\"/>\n";
    for (const Curve& c : Curves) {
        s << "  <polyline fill=\"none\" stroke=\"" << c.colour.name() << "\" stroke-width=\""
          << c.width << "\" stroke-linecap=\"round\" stroke-linejoin=\"round\" points=\"";
        bool first = true;
        for (const QPointF& p : curvePoints(c)) {
            if (!first)
                s << ' ';
            first = false;
            s << QString::number(p.x(), 'f', 2) << ',' << QString::number(p.y(), 'f', 2);
        }
        s << "\"/>\n";
    }
    s << "</svg>\n";
    return out;
}

QImage png(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const double scale = size / Canvas;
    p.scale(scale, scale);
    // Thin lines vanish at 16 px; keep every stroke at least about 1.4 device pixels.
    const double minimum = 1.4 / scale;
    p.setPen(QPen(Frame, std::max(8.0, minimum)));
    p.setBrush(Background);
    p.drawRoundedRect(QRectF(4, 4, 248, 248), Corner, Corner);
    p.setBrush(Qt::NoBrush);
    for (const Curve& c : Curves) {
        QPainterPath path;
        const std::vector<QPointF> points = curvePoints(c);
        path.moveTo(points.front());
        for (size_t k = 1; k < points.size(); ++k)
            path.lineTo(points[k]);
        p.setPen(
            QPen(c.colour, std::max(c.width, minimum), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPath(path);
    }
    p.end();
    return image;
}

}

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <resources folder>\n", argv[0]);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QFile file(folder + QStringLiteral("/vellox.svg"));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::fprintf(stderr, "cannot write vellox.svg\n");
        return 1;
    }
    file.write(svg().toUtf8());
    file.close();
    for (const int size : { 16, 32, 48, 64, 128, 256 }) {
        const QString name = folder + QStringLiteral("/vellox-%1.png").arg(size);
        if (!png(size).save(name)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(name));
            return 1;
        }
    }
    return 0;
}
