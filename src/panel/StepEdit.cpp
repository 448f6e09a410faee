#include "StepEdit.h"

#include "DigitStep.h"

#include <QKeyEvent>

#include <optional>

namespace vellox {

StepEdit::StepEdit(QWidget* parent)
    : QLineEdit(parent)
{
}

void StepEdit::showText(const QString& text)
{
    if (!isModified())
        showTextNow(text);
}

void StepEdit::showTextNow(const QString& text)
{
    const int place
        = cursorAtSamePlace(this->text().toStdString(), cursorPosition(), text.toStdString());
    setText(text);
    if (hasFocus())
        setCursorPosition(place);
}

void StepEdit::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if ((key == Qt::Key_Up || key == Qt::Key_Down) && modifiers == Qt::NoModifier) {
        const std::optional<SteppedText> next
            = stepDigit(text().toStdString(), cursorPosition(), key == Qt::Key_Up ? 1 : -1);
        if (next) {
            setText(QString::fromStdString(next->text));
            setCursorPosition(next->cursor);
            emit stepped();
        }
        event->accept();
        return;
    }
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        // Taken here: in a dialog it would press the default button besides.
        event->accept();
        emit applied();
        return;
    }
    if (key == Qt::Key_Escape && isModified()) {
        // The first Escape takes the typing back; the next one reaches the dialog.
        setModified(false);
        event->accept();
        emit reverted();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

} // namespace vellox
