#pragma once

// The About box: program icon, title, version line, description and terms of use.
// Loaded afresh at every showing.

#include <QDialog>

namespace vellox {

class frmAboutGen : public QDialog {
    Q_OBJECT

public:
    explicit frmAboutGen(QWidget* parent = nullptr);
};

} // namespace vellox
