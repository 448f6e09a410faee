#pragma once

// A number field that steps as a bench generator's does: Up and Down move the digit under
// the cursor (stepDigit) and say so at once, for the field's owner to apply the new value;
// Enter applies what was typed; Escape takes back what was typed and not yet applied. The
// owner writes the setting in force with showText, which leaves the user's unapplied typing
// alone and keeps the cursor on its digit.

#include <QLineEdit>

namespace vellox {

class StepEdit : public QLineEdit {
    Q_OBJECT

public:
    explicit StepEdit(QWidget* parent = nullptr);

    // The setting in force, unless the user has typed something not yet applied (isModified).
    void showText(const QString& text);
    // The setting in force, whatever the field holds.
    void showTextNow(const QString& text);

signals:
    // Up or Down stepped a digit; the text holds the new value.
    void stepped();
    // Enter: the text is to be applied.
    void applied();
    // Escape over unapplied typing: the owner shows the setting in force again.
    void reverted();

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

} // namespace vellox
