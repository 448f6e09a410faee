#pragma once

// The bit-code settings dialog ("Set Code Generator"): edits the shared bit pattern,
// bit length and repetition time. Modal; loaded afresh at every showing.

#include "SynthTypes.h"

#include <QDialog>

#include <functional>

class QKeyEvent;

namespace vellox {

// Whether the key filter of the pattern box lets `key` through: Backspace, the four
// arrows, Delete and the digits 0 and 1 of the main keyboard (not the keypad's).
bool acceptsBitPatternKey(int key, Qt::KeyboardModifiers modifiers);

class FormCode : public QDialog {
    Q_OBJECT

public:
    // Fills its boxes from `module1`; OK stores the checked entries back into it.
    FormCode(Module1& module1, QWidget* parent = nullptr);
    ~FormCode() override;
    // Called by OK with what it stored, before the dialog closes: the owner of the settings
    // takes them there.
    void setStore(std::function<void(const Module1&)> store) { m_store = std::move(store); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void Form_Load();
    // Returns true when the key was refused and must go no further.
    bool Text1_KeyDown(QKeyEvent* event);
    void Command1_Click();
    void Command2_Click();

    Module1& m_module1;
    std::function<void(const Module1&)> m_store;
    struct Controls;
    Controls* m_controls = nullptr;
};

} // namespace vellox
