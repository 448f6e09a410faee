#pragma once

// The About box: program icon, title, version line, description and terms of use.
// Loaded afresh at every showing.

#include <QDialog>
#include <QString>

class QLabel;
class QShowEvent;

namespace vellox {

// The maker's web address shown in the title line.
inline constexpr const char* MakerAddress = "https://vellox.example.org";

// "Version " followed by major.minor.revision, each in plain digits.
QString versionLine(int major, int minor, int revision);

// The line for this program's own version numbers (2.29.1411).
QString programVersionLine();

class frmAboutGen : public QDialog {
    Q_OBJECT

public:
    explicit frmAboutGen(QWidget* parent = nullptr);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Form_Load();
    void cmdOK_Click();

    QLabel* m_lblVersion = nullptr;
};

} // namespace vellox
