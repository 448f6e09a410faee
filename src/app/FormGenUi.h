#pragma once

// The controls of the generator's main window, in the manner of a generated Ui class: one
// struct holds every control under its name in the window, and setupUi builds them onto
// the window's front panel (its client area, `Client`) with their captions, colours, fonts
// and pixel positions, and the menu bar above it. FormGen inherits it, so the controls are
// the window's public members (window->UpDown1). The controls belong to the Qt object tree
// of the window; this struct only points at them.

#include "SynthTypes.h"

#include <array>

class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QMenuBar;
class QPushButton;
class QRadioButton;
class QSlider;
class QTimer;
class QWidget;

namespace vellox {

// The window's caption.
inline constexpr const char* WindowTitle = " Korvane  Vellox";

class PictureBox;
class UpDown;

// The controls of one frequency frame and of its scale: F1's or F2's.
struct FrequencyControls {
    PictureBox* scale = nullptr; // Picture1, Picture2
    QGroupBox* frame = nullptr; // Frame2, Frame4
    QLineEdit* text = nullptr; // Text1, Text2
    UpDown* frequency = nullptr; // UpDown1, UpDown3
    QLabel* hz = nullptr; // Label6, Label7
    QPushButton* enter = nullptr; // Command4, Command5
    UpDown* level = nullptr; // UpDown2, UpDown4
    QLabel* levelLabel = nullptr; // Label5, Label4
};

struct FormGenUi {
    // The front panel's client area, fixed; the window is this and the menu bar above it.
    static constexpr int ClientWidth = 803;
    static constexpr int ClientHeight = 237;

    // Builds every control onto `FormGen` and sets the window's own title, icon, size and
    // colour. Connects nothing: the handlers are the window's.
    void setupUi(QWidget* FormGen);

    // The front panel: every control below stands on it, at its place of the design.
    QWidget* Client = nullptr;
    // The way in to every setting beyond the front panel, outside its client area.
    QMenuBar* MenuBar = nullptr;
    QMenu* InstrumentMenu = nullptr;
    QAction* InstrumentPanelAction = nullptr; // Ctrl+I
    QAction* CalibrateAction = nullptr;
    QAction* OutputSettingsAction = nullptr;
    QMenu* OutputDeviceMenu = nullptr; // filled afresh at each opening

    FrequencyControls F1Controls;
    FrequencyControls F2Controls;

    QPushButton* Play = nullptr;
    QPushButton* Stop = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* Command3 = nullptr;
    QPushButton*& Command4 = F1Controls.enter;
    QPushButton*& Command5 = F2Controls.enter;
    QPushButton* Command6 = nullptr;
    std::array<QRadioButton*, WaveformCount> Option1 {}; // index = Waveform
    QRadioButton* Option2 = nullptr;
    QRadioButton* Option3 = nullptr;
    QRadioButton* Option4 = nullptr;
    QRadioButton* Option5 = nullptr;
    QRadioButton* Option6 = nullptr;
    QRadioButton* Option7 = nullptr;
    QRadioButton* Option8 = nullptr;
    QRadioButton* Option9 = nullptr;
    QRadioButton* Option10 = nullptr;
    // The sample-rate options, one per entry of SampleRates; the first three by name.
    std::array<QRadioButton*, SampleRateCount> RateOption {};
    QRadioButton*& Option11 = RateOption[0];
    QRadioButton*& Option12 = RateOption[1];
    QRadioButton*& Option13 = RateOption[2];
    UpDown*& UpDown1 = F1Controls.frequency;
    UpDown*& UpDown2 = F1Controls.level;
    UpDown*& UpDown3 = F2Controls.frequency;
    UpDown*& UpDown4 = F2Controls.level;
    UpDown* UpDown5 = nullptr;
    UpDown* UpDown6 = nullptr;
    UpDown* UpDown7 = nullptr;
    QSlider* Slider1 = nullptr;
    PictureBox*& Picture1 = F1Controls.scale;
    PictureBox*& Picture2 = F2Controls.scale;
    PictureBox* Picture3 = nullptr;
    QLabel* Picture4 = nullptr;
    QLabel* Picture5 = nullptr;
    QLineEdit*& Text1 = F1Controls.text;
    QLineEdit*& Text2 = F2Controls.text;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel*& Label4 = F2Controls.levelLabel;
    QLabel*& Label5 = F1Controls.levelLabel;
    QLabel*& Label6 = F1Controls.hz;
    QLabel*& Label7 = F2Controls.hz;
    QLabel* Label8 = nullptr;
    QGroupBox* Frame1 = nullptr;
    QGroupBox*& Frame2 = F1Controls.frame;
    QGroupBox* Frame3 = nullptr;
    QGroupBox*& Frame4 = F2Controls.frame;
    QGroupBox* Frame5 = nullptr;
    QGroupBox* Frame6 = nullptr;
    QGroupBox* Frame7 = nullptr;
    QTimer* Timer1 = nullptr;
    QTimer* Timer2 = nullptr;
};

} // namespace vellox
