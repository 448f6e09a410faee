#pragma once

// Measures the captions of a window as its user sees them: whether each fits its control
// in the font really in use (the style's indicators, borders and margins included), and
// whether its text can be read on the face it is drawn on (WCAG contrast ratio, read from
// the window's pixels).

#include <QAbstractButton>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QPalette>
#include <QRadioButton>
#include <QString>
#include <QStringList>
#include <QStyle>
#include <QStyleOption>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <vector>

namespace vellox::testing {

// The bar for normal-size text (WCAG 2, success criterion 1.4.3).
inline constexpr double ReadableContrast = 4.5;

inline double relativeLuminance(QColor c)
{
    auto linear = [](int v) {
        const double s = v / 255.0;
        return s <= 0.04045 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(c.red()) + 0.7152 * linear(c.green()) + 0.0722 * linear(c.blue());
}

inline double contrastRatio(QColor a, QColor b)
{
    const double la = relativeLuminance(a), lb = relativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// A dark scheme as a desktop hands it to every Qt program (Breeze Dark's colours): light
// text on dark faces.
inline QPalette darkDesktopPalette()
{
    const QColor text(252, 252, 252), window(42, 46, 50), button(49, 54, 59), base(27, 30, 32);
    QPalette p(text, button, QColor(64, 70, 76), QColor(24, 27, 29), QColor(40, 44, 48), text,
        Qt::white, base, window);
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::Highlight, QColor(61, 174, 233));
    p.setColor(QPalette::Disabled, QPalette::WindowText, QColor(110, 113, 115));
    p.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(110, 113, 115));
    p.setColor(QPalette::Disabled, QPalette::Text, QColor(110, 113, 115));
    return p;
}

// One caption of a control: the room its control gives the text and the room the text
// takes, in pixels. `needed` and `available` count the control's own chrome too (radio
// indicator and its spacing, borders, padding), so they compare with the control's width.
struct CaptionFit {
    QString control;
    QString caption;
    QString family; // the font really in use
    int needed = 0;
    int available = 0;
    int neededHeight = 0;
    int availableHeight = 0;
    QRect drawn; // where the text is drawn, in the control's coordinates
    bool fits() const { return needed <= available && neededHeight <= availableHeight; }
};

namespace detail {
    inline QStyleOptionButton buttonOption(const QAbstractButton* b, const QString& text)
    {
        QStyleOptionButton opt;
        opt.initFrom(b);
        opt.text = text;
        opt.rect = b->rect();
        return opt;
    }
}

// The captions a widget shows (its text, or a frame's title); none for other widgets.
inline bool hasCaption(const QWidget* w)
{
    if (auto* b = qobject_cast<const QAbstractButton*>(w))
        return !b->text().isEmpty();
    if (auto* l = qobject_cast<const QLabel*>(w))
        return !l->text().isEmpty();
    if (auto* g = qobject_cast<const QGroupBox*>(w))
        return !g->title().isEmpty();
    if (auto* e = qobject_cast<const QLineEdit*>(w))
        return !e->text().isEmpty();
    return false;
}

inline QString captionOf(const QWidget* w)
{
    if (auto* b = qobject_cast<const QAbstractButton*>(w))
        return b->text();
    if (auto* l = qobject_cast<const QLabel*>(w))
        return l->text();
    if (auto* g = qobject_cast<const QGroupBox*>(w))
        return g->title();
    if (auto* e = qobject_cast<const QLineEdit*>(w))
        return e->text();
    return {};
}

// Measures `caption` as `w` would draw it, with w's style (style sheets included) and font.
inline CaptionFit measureCaption(const QWidget* w, const QString& caption)
{
    CaptionFit fit;
    fit.control = w->objectName();
    fit.caption = caption;
    fit.family = QFontInfo(w->font()).family();
    const QFontMetrics fm(w->font());
    // The ink may reach past the advance (a slanted or overhanging last glyph).
    const int textWidth
        = std::max(fm.horizontalAdvance(caption), fm.boundingRect(caption).right() + 1);
    const int textHeight = fm.height();
    QStyle* style = w->style();
    QRect area; // the room the style gives the text
    Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter;
    if (auto* radio = qobject_cast<const QRadioButton*>(w)) {
        const QStyleOptionButton opt = detail::buttonOption(radio, caption);
        area = style->subElementRect(QStyle::SE_RadioButtonContents, &opt, radio);
    } else if (auto* button = qobject_cast<const QAbstractButton*>(w)) {
        const QStyleOptionButton opt = detail::buttonOption(button, caption);
        area = style->subElementRect(QStyle::SE_PushButtonContents, &opt, button);
        alignment = Qt::AlignCenter;
    } else if (auto* label = qobject_cast<const QLabel*>(w)) {
        const int m = label->margin();
        area = label->contentsRect().adjusted(m, m, -m, -m);
        alignment = label->alignment();
    } else if (auto* box = qobject_cast<const QGroupBox*>(w)) {
        QStyleOptionGroupBox opt;
        opt.initFrom(box);
        opt.text = caption;
        opt.rect = box->rect();
        opt.lineWidth = 1;
        opt.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
        opt.textAlignment = box->alignment();
        const QRect label
            = style->subControlRect(QStyle::CC_GroupBox, &opt, QStyle::SC_GroupBoxLabel, box);
        // The title may run along the top line up to the frame's right edge.
        area = QRect(label.left(), label.top(), box->width() - label.left(), label.height());
    } else if (auto* edit = qobject_cast<const QLineEdit*>(w)) {
        QStyleOptionFrame opt;
        opt.initFrom(edit);
        opt.rect = edit->rect();
        opt.lineWidth = style->pixelMetric(QStyle::PM_DefaultFrameWidth, &opt, edit);
        // QLineEdit keeps 2 pixels beside its text and 1 above and below.
        area = style->subElementRect(QStyle::SE_LineEditContents, &opt, edit)
                   .marginsRemoved(edit->textMargins())
                   .adjusted(2, 1, -2, -1);
        alignment = edit->alignment();
    }
    const int chrome = w->width() - area.width();
    fit.needed = textWidth + chrome;
    fit.available = w->width();
    fit.neededHeight = textHeight;
    fit.availableHeight = area.height();
    fit.drawn = QStyle::alignedRect(w->layoutDirection(), alignment,
        QSize(std::min(textWidth, area.width()), std::min(textHeight, area.height())), area);
    return fit;
}

inline QString describe(const CaptionFit& f)
{
    return QStringLiteral("%1 \"%2\": needs %3 x %4 px, has %5 x %6 (%7)")
        .arg(f.control, f.caption)
        .arg(f.needed)
        .arg(f.neededHeight)
        .arg(f.available)
        .arg(f.availableHeight)
        .arg(f.family);
}

// Every caption of `window`'s widgets that show one, plus the other captions a control
// takes while the program runs (`moreCaptions`, by object name).
inline std::vector<CaptionFit> measureCaptions(
    const QWidget* window, const QMap<QString, QStringList>& moreCaptions = {})
{
    std::vector<CaptionFit> fits;
    for (const QWidget* w : window->findChildren<QWidget*>()) {
        if (!hasCaption(w) || !w->isVisibleTo(window))
            continue;
        QStringList captions { captionOf(w) };
        captions += moreCaptions.value(w->objectName());
        for (const QString& c : captions)
            fits.push_back(measureCaption(w, c));
    }
    return fits;
}

// The text's colour and the face under it, read from `image` in `area`: the face is the
// colour most of the area shows, the ink the one that stands out most from it (a glyph's
// full-coverage pixels).
struct InkOnFace {
    QColor ink;
    QColor face;
    double ratio = 1.0;
};

inline InkOnFace inkOnFace(const QImage& image, QRect area)
{
    QMap<QRgb, int> counts;
    area &= image.rect();
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            ++counts[image.pixel(x, y) | 0xff000000u];
    InkOnFace r;
    int most = -1;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        if (it.value() > most) {
            most = it.value();
            r.face = QColor::fromRgb(it.key());
        }
    r.ink = r.face;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        const double ratio = contrastRatio(QColor::fromRgb(it.key()), r.face);
        if (ratio > r.ratio) {
            r.ratio = ratio;
            r.ink = QColor::fromRgb(it.key());
        }
    }
    return r;
}

// How every enabled caption of `window` is drawn now, read from its pixels.
struct CaptionLook {
    QString line; // control, caption, ink, face and contrast, for a failure message
    InkOnFace look;
};

inline std::vector<CaptionLook> captionLooks(QWidget* window)
{
    const QImage image = window->grab().toImage();
    std::vector<CaptionLook> looks;
    for (QWidget* w : window->findChildren<QWidget*>()) {
        // Inactive controls are exempt from the bar; greyed text is their sign.
        if (!hasCaption(w) || !w->isVisibleTo(window) || !w->isEnabled())
            continue;
        const CaptionFit fit = measureCaption(w, captionOf(w));
        const QRect drawn(w->mapTo(window, fit.drawn.topLeft()), fit.drawn.size());
        const InkOnFace look = inkOnFace(image, drawn);
        looks.push_back({ QStringLiteral("%1 \"%2\": %3 on %4, contrast %5")
                              .arg(w->objectName(), fit.caption, look.ink.name(), look.face.name())
                              .arg(look.ratio, 0, 'f', 2),
            look });
    }
    return looks;
}

// The captions of `window` below the bar, or (with `lightFaces`) standing on a dark face.
inline QStringList unreadableCaptions(
    const std::vector<CaptionLook>& looks, bool lightFaces = false)
{
    QStringList bad;
    for (const CaptionLook& c : looks)
        if (c.look.ratio < ReadableContrast || (lightFaces && relativeLuminance(c.look.face) < 0.5))
            bad << c.line;
    return bad;
}

} // namespace vellox::testing
