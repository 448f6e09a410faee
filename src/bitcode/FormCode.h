#pragma once

// The bit-code settings dialog ("Set Code Generator"): edits the shared bit pattern,
// bit length and repetition time. Modal; loaded afresh at every showing.

#include "SynthTypes.h"

#include <QDialog>

namespace vellox {

class FormCode : public QDialog {
    Q_OBJECT

public:
    // Fills its boxes from `module1`; OK stores the checked entries back into it.
    FormCode(Module1& module1, QWidget* parent = nullptr);
    ~FormCode() override;

private:
    Module1& m_module1;
    struct Controls;
    Controls* m_controls = nullptr;
};

} // namespace vellox
