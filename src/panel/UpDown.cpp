#include "UpDown.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>
#include <QTimer>

#include <algorithm>
#include <cstdint>

namespace vellox {

UpDown::UpDown(QWidget* parent)
    : QWidget(parent)
    , m_repeat(new QTimer(this))
{
    m_repeat->setObjectName(QStringLiteral("repeat"));
    connect(m_repeat, &QTimer::timeout, this, &UpDown::repeatStep);
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void UpDown::setMinimum(int minimum)
{
    setRange(minimum, std::max(minimum, m_maximum));
}

void UpDown::setMaximum(int maximum)
{
    setRange(std::min(m_minimum, maximum), maximum);
}

void UpDown::setRange(int minimum, int maximum)
{
    m_minimum = minimum;
    m_maximum = std::max(minimum, maximum);
    setValue(m_value);
}

void UpDown::setSingleStep(int step)
{
    m_singleStep = step;
}

void UpDown::setValue(int value)
{
    const int clamped = std::clamp(value, m_minimum, m_maximum);
    if (clamped == m_value)
        return;
    m_value = clamped;
    emit Change(m_value);
}

void UpDown::showValue(int value)
{
    m_value = std::clamp(value, m_minimum, m_maximum);
}

void UpDown::stepUp()
{
    stepBy(+1);
}

void UpDown::stepDown()
{
    stepBy(-1);
}

void UpDown::stepBy(int direction)
{
    // Computed wide so that a step near the ends of int cannot overflow before the clamp.
    const int64_t target = int64_t(m_value) + int64_t(direction) * int64_t(m_singleStep);
    setValue(int(std::clamp<int64_t>(target, m_minimum, m_maximum)));
}

void UpDown::repeatStep()
{
    if (m_heldArrow == 0) {
        m_repeat->stop();
        return;
    }
    m_repeat->setInterval(RepeatIntervalMs);
    stepBy(m_heldArrow);
}

void UpDown::releaseArrow()
{
    m_repeat->stop();
    if (m_heldArrow != 0) {
        m_heldArrow = 0;
        update();
    }
}

QSize UpDown::sizeHint() const
{
    return { 17, 34 };
}

QSize UpDown::minimumSizeHint() const
{
    return { 9, 12 };
}

void UpDown::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const int upperHeight = height() / 2;
    const QRect halves[2] = { QRect(0, 0, width(), upperHeight),
        QRect(0, upperHeight, width(), height() - upperHeight) };
    for (int half = 0; half < 2; ++half) {
        const int arrow = half == 0 ? +1 : -1;
        QStyleOptionButton button;
        button.initFrom(this);
        button.rect = halves[half];
        button.state |= m_heldArrow == arrow ? QStyle::State_Sunken : QStyle::State_Raised;
        style()->drawPrimitive(QStyle::PE_PanelButtonBevel, &button, &painter, this);

        QStyleOption indicator;
        indicator.initFrom(this);
        // The arrow shifts by a pixel while pressed, as a pushed button's face does.
        const int shift = m_heldArrow == arrow ? 1 : 0;
        indicator.rect = halves[half].adjusted(2 + shift, 2 + shift, -2 + shift, -2 + shift);
        style()->drawPrimitive(
            arrow > 0 ? QStyle::PE_IndicatorArrowUp : QStyle::PE_IndicatorArrowDown, &indicator,
            &painter, this);
    }
}

void UpDown::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    m_heldArrow = event->position().y() < height() / 2 ? +1 : -1;
    update();
    m_repeat->start(RepeatDelayMs);
    stepBy(m_heldArrow);
}

void UpDown::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        releaseArrow();
    else
        QWidget::mouseReleaseEvent(event);
}

void UpDown::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Up:
        stepUp();
        break;
    case Qt::Key_Down:
        stepDown();
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}

void UpDown::focusOutEvent(QFocusEvent* event)
{
    // A modal box opened by a change handler takes the pointer away before the release
    // arrives; without this the arrow would keep repeating behind it.
    releaseArrow();
    QWidget::focusOutEvent(event);
}

void UpDown::hideEvent(QHideEvent* event)
{
    releaseArrow();
    QWidget::hideEvent(event);
}

} // namespace vellox
