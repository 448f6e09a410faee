// The main window's controls: which there are, their names, captions, colours, fonts and
// pixel positions. The window's behaviour is FormGen's.

#include "FormGenUi.h"

#include "ControlCaptions.h"
#include "FrequencyScale.h"
#include "NumberText.h"
#include "PictureBox.h"
#include "ProgramIcon.h"
#include "ProgramLook.h"
#include "TimeView.h"
#include "UpDown.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTimer>
#include <QVBoxLayout>

#include <iterator>
#include <optional>

namespace vellox {

namespace {

    constexpr QColor WindowGrey { 224, 224, 224 };
    constexpr QColor LightCyan { 128, 255, 255 };
    constexpr QColor FrameCyan { 192, 255, 255 };
    constexpr QColor Peach { 255, 224, 192 };
    constexpr QColor LightYellow { 255, 255, 192 };
    constexpr QColor LightOrange { 255, 192, 128 };
    constexpr QColor LightRed { 255, 128, 128 };
    constexpr QColor LightGreen { 192, 255, 192 };
    constexpr QColor Pink { 255, 192, 255 };
    constexpr QColor Silver { 192, 192, 192 };
    constexpr QColor ScalePen { 0, 192, 0 };

    // The program's own palette, not the desktop's: the faces here are fixed light colours,
    // and what the toolkit draws itself (caption text, spinner and slider faces) must suit
    // them whatever scheme the desktop has.
    QPalette formPalette()
    {
        QPalette palette = programPalette();
        palette.setColor(QPalette::Window, WindowGrey);
        return palette;
    }

    // Every control takes the palette itself, before any style sheet of its own: a widget
    // under a style sheet starts from the application's palette, not from its parent's,
    // and a style sheet builds on the palette the widget has when it is set.
    template <class Widget> Widget* withFormPalette(Widget* widget)
    {
        widget->setPalette(formPalette());
        return widget;
    }

    QFont pixelFont(int pixels, bool bold = false)
    {
        QFont font(QStringLiteral("Arial"));
        font.setPixelSize(pixels);
        font.setBold(bold);
        return font;
    }

    // The frequency boxes and their "Hz" labels keep the design's Arial 14.25 pt.
    QFont entryFont()
    {
        QFont font(QStringLiteral("Arial"));
        font.setPointSizeF(14.25);
        return font;
    }

    QString colourCss(QColor c)
    {
        return QStringLiteral("rgb(%1,%2,%3)").arg(c.red()).arg(c.green()).arg(c.blue());
    }

    QPushButton* makeButton(
        QWidget* parent, const char* name, const QString& caption, QColor face, QRect geometry)
    {
        auto* button = withFormPalette(new QPushButton(caption, parent));
        button->setObjectName(QString::fromLatin1(name));
        button->setFont(pixelFont(11));
        // Graphical buttons show their face colour; a style sheet is the portable way.
        button->setStyleSheet(
            QStringLiteral("QPushButton { background-color: %1; border: 1px solid rgb(96,96,96); "
                           "border-radius: 0px; padding: 0px; }"
                           "QPushButton:pressed { border: 2px inset rgb(96,96,96); }"
                           "QPushButton:disabled { color: rgb(160,160,160); }")
                .arg(colourCss(face)));
        button->setGeometry(geometry);
        button->setFocusPolicy(Qt::TabFocus);
        return button;
    }

    QGroupBox* makeFrame(QWidget* parent, const char* name, const QString& caption,
        std::optional<QColor> background, QRect geometry)
    {
        auto* frame = withFormPalette(new QGroupBox(caption, parent));
        frame->setObjectName(QString::fromLatin1(name));
        frame->setFont(pixelFont(11));
        const QString back = background
            ? QStringLiteral("background-color: %1;").arg(colourCss(*background))
            : QString();
        // Frame captions are blue; the caption sits on the frame's top line.
        frame->setStyleSheet(QStringLiteral(
            "QGroupBox#%1 { %2 border: 1px solid rgb(160,160,160); margin-top: 6px; }"
            "QGroupBox#%1::title { subcontrol-origin: margin; left: 6px; padding: 0 1px; "
            "color: rgb(0,0,255); }")
                                 .arg(frame->objectName(), back));
        frame->setGeometry(geometry);
        return frame;
    }

    QRadioButton* makeOption(QWidget* parent, const QString& name, const QString& caption,
        QRect geometry, std::optional<QColor> background = std::nullopt)
    {
        auto* option = withFormPalette(new QRadioButton(caption, parent));
        option->setObjectName(name);
        option->setFont(pixelFont(11));
        // A style sheet, not the palette: the frame's own style sheet would override it.
        if (background)
            option->setStyleSheet(QStringLiteral("QRadioButton { background-color: %1; }")
                                      .arg(colourCss(*background)));
        option->setGeometry(geometry);
        return option;
    }

    QLabel* makeLabel(QWidget* parent, const char* name, const QString& caption, QRect geometry,
        QFont font = pixelFont(11))
    {
        auto* label = withFormPalette(new QLabel(caption, parent));
        label->setObjectName(QString::fromLatin1(name));
        label->setFont(font);
        label->setGeometry(geometry);
        return label;
    }

    UpDown* makeUpDown(
        QWidget* parent, const char* name, int minimum, int maximum, int start, QRect geometry)
    {
        auto* spinner = withFormPalette(new UpDown(parent));
        spinner->setObjectName(QString::fromLatin1(name));
        spinner->setRange(minimum, maximum);
        spinner->setSingleStep(1);
        spinner->setValue(start);
        spinner->setGeometry(geometry);
        return spinner;
    }

    // The 17 x 17 ramp icons beside the two "Stairs" options, drawn as the time view shows
    // the ramps (larger samples lower): rising ramps with vertical drops, or the mirror.
    QPixmap rampIcon(bool rising)
    {
        QPixmap pixmap(17, 17);
        pixmap.fill(Silver);
        QPainter painter(&pixmap);
        painter.setPen(QPen(QColor(0, 0, 255), 1));
        const int top = 3, bottom = 13;
        for (int x0 = 1; x0 < 15; x0 += 5) {
            if (rising) {
                painter.drawLine(x0, bottom, x0 + 5, top);
                painter.drawLine(x0 + 5, top, x0 + 5, bottom);
            } else {
                painter.drawLine(x0, bottom, x0, top);
                painter.drawLine(x0, top, x0 + 5, bottom);
            }
        }
        return pixmap;
    }

    QFrame* makeShape(QWidget* parent, const char* name, QRect geometry)
    {
        auto* shape = withFormPalette(new QFrame(parent));
        shape->setObjectName(QString::fromLatin1(name));
        shape->setFrameShape(QFrame::Box);
        shape->setFrameShadow(QFrame::Plain);
        shape->setLineWidth(1);
        shape->setGeometry(geometry);
        shape->setAttribute(Qt::WA_TransparentForMouseEvents);
        return shape;
    }

    // The row of the frequency, noise, settings and mode frames.
    constexpr int FrameTop = 83;
    constexpr int FrameHeight = 100;

    // What tells the F1 frame from the F2 frame: names, captions, colours and place.
    struct FrequencyFrameLook {
        const char* frameName;
        const char* caption;
        QColor background;
        int left;
        int16_t startFrequency;
        const char* textName;
        QColor digits;
        const char* hzName;
        const char* enterName;
        const char* enterCaption;
        QColor enterFace;
        const char* frequencyName;
        const char* levelName;
        const char* levelLabelName;
    };
    const FrequencyFrameLook F1Look { "Frame2", "Frequency1  ", FrameCyan, 64, StartFrequency1,
        "Text1", QColor(0, 255, 255), "Label6", "Command4", "Enter Frq1", LightCyan, "UpDown1",
        "UpDown2", "Label5" };
    const FrequencyFrameLook F2Look { "Frame4", "Frequency2   ", Peach, 197, StartFrequency2,
        "Text2", QColor(255, 0, 0), "Label7", "Command5", "Enter Frq2", LightRed, "UpDown3",
        "UpDown4", "Label4" };

    // One frequency frame's controls; its scale is built apart, with the other scale.
    void buildFrequencyFrame(QWidget* form, const FrequencyFrameLook& look, FrequencyControls& f)
    {
        f.frame = makeFrame(form, look.frameName, QString::fromLatin1(look.caption),
            look.background, QRect(look.left, FrameTop, 131, FrameHeight));
        // Both boxes start with F1's digits; Form_Load writes each frame's own.
        f.text = withFormPalette(
            new QLineEdit(QString::fromStdString(plainNumber(int(StartFrequency1))), f.frame));
        f.text->setObjectName(QString::fromLatin1(look.textName));
        f.text->setFont(entryFont());
        f.text->setStyleSheet(QStringLiteral("QLineEdit { color: %1; background-color: black; "
                                             "border: 1px solid rgb(128,128,128); padding: 0px; }")
                                  .arg(colourCss(look.digits)));
        f.text->setGeometry(6, 18, 68, 28);
        f.frequency = makeUpDown(f.frame, look.frequencyName, MinFrequency, MaxFrequency,
            look.startFrequency, QRect(75, 18, 16, 28));
        f.hz = makeLabel(
            f.frame, look.hzName, QStringLiteral("Hz"), QRect(95, 20, 32, 24), entryFont());
        f.enter = makeButton(f.frame, look.enterName, QString::fromLatin1(look.enterCaption),
            look.enterFace, QRect(6, 50, 85, 20));
        f.level = makeUpDown(f.frame, look.levelName, 0, 15, StartLevelStep, QRect(6, 73, 16, 24));
        f.levelLabel = makeLabel(f.frame, look.levelLabelName,
            QString::fromStdString(levelCaption(StartLevelStep)), QRect(26, 78, 102, 15));
    }

    // The menu bar over the front panel: the instrument's settings beyond it. Each menu is a
    // window of its own and takes no palette from the bar.
    void buildMenuBar(QWidget* form, FormGenUi& ui)
    {
        ui.MenuBar = withFormPalette(new QMenuBar(form));
        ui.MenuBar->setObjectName(QStringLiteral("MenuBar"));
        ui.InstrumentMenu = withFormPalette(ui.MenuBar->addMenu(QStringLiteral("&Instrument")));
        ui.InstrumentMenu->setObjectName(QStringLiteral("InstrumentMenu"));
        auto action = [&](const char* name, const QString& text) {
            QAction* a = ui.InstrumentMenu->addAction(text);
            a->setObjectName(QString::fromLatin1(name));
            return a;
        };
        ui.InstrumentPanelAction
            = action("InstrumentPanelAction", QStringLiteral("Instrument &panel..."));
        ui.InstrumentPanelAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_I));
        // The window holds the shortcut too, so that it works with the menu closed on any
        // platform.
        form->addAction(ui.InstrumentPanelAction);
        ui.CalibrateAction
            = action("CalibrateAction", QStringLiteral("&Calibrate from a meter reading..."));
        ui.InstrumentMenu->addSeparator();
        ui.OutputSettingsAction
            = action("MenuOutputSettingsAction", QStringLiteral("&Output settings..."));
        ui.OutputDeviceMenu
            = withFormPalette(ui.InstrumentMenu->addMenu(QStringLiteral("Output &device")));
        ui.OutputDeviceMenu->setObjectName(QStringLiteral("MenuOutputDeviceMenu"));
    }

} // namespace

void FormGenUi::setupUi(QWidget* FormGen)
{
    FormGen->setObjectName(QStringLiteral("FormGen"));
    FormGen->setWindowTitle(QString::fromLatin1(WindowTitle));
    FormGen->setWindowIcon(programIcon());
    FormGen->setAutoFillBackground(true);
    FormGen->setPalette(formPalette());

    // The window is the front panel and the menu bar above it, its size fixed by them.
    Client = withFormPalette(new QWidget(FormGen));
    Client->setObjectName(QStringLiteral("Client"));
    Client->setFixedSize(ClientWidth, ClientHeight);
    Client->setAutoFillBackground(true);
    buildMenuBar(FormGen, *this);
    auto* layout = new QVBoxLayout(FormGen);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setMenuBar(MenuBar);
    layout->addWidget(Client);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    // The timers belong to the window; every control to its front panel.
    QWidget* const form = Client;

    // The two scales across the whole width.
    Picture1 = new PictureBox(QSize(ScaleWidth, ScaleHeight), Qt::black, form);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->move(0, 0);
    Picture2 = new PictureBox(QSize(ScaleWidth, ScaleHeight), Qt::black, form);
    Picture2->setObjectName(QStringLiteral("Picture2"));
    Picture2->move(0, 41);
    for (PictureBox* scale : { Picture1, Picture2 }) {
        scale->setForeColor(ScalePen);
        scale->setFont(scaleFont());
    }

    // The column of main buttons.
    const int bandTop = 84;
    Play = makeButton(form, "Play", QStringLiteral("Start"), LightCyan, QRect(3, bandTop, 58, 19));
    Stop = makeButton(
        form, "Stop", QStringLiteral("Stop"), LightOrange, QRect(3, bandTop + 20, 58, 19));
    Command1 = makeButton(
        form, "Command1", QStringLiteral("Help"), WindowGrey, QRect(3, bandTop + 40, 58, 19));
    Command6 = makeButton(
        form, "Command6", QStringLiteral("About"), Qt::white, QRect(3, bandTop + 60, 58, 19));
    Command2 = makeButton(
        form, "Command2", QStringLiteral("Exit"), Silver, QRect(3, bandTop + 80, 58, 19));

    // F1 and F2 frames: text box with its spinner and "Hz", the entry button, the level.
    buildFrequencyFrame(form, F1Look, F1Controls);
    buildFrequencyFrame(form, F2Look, F2Controls);

    // Noise.
    Frame3 = makeFrame(form, "Frame3", QStringLiteral("Noise"), LightYellow,
        QRect(330, FrameTop, 48, FrameHeight));
    Label2 = makeLabel(Frame3, "Label2", QStringLiteral("0 %"), QRect(5, 20, 40, 15));
    UpDown5 = makeUpDown(Frame3, "UpDown5", 0, 10, 0, QRect(14, 40, 18, 44));

    // Settings: the sample rate and the phase spinner that nothing reads. One option per
    // entry of SampleRates, in its order.
    Frame7 = makeFrame(form, "Frame7", QStringLiteral("Settings"), WindowGrey,
        QRect(380, FrameTop, 86, FrameHeight));
    struct RatePlace {
        const char* name;
        const char* caption;
        QRect geometry;
    };
    const RatePlace rates[] = {
        { "Option11", "44100 Hz", QRect(5, 16, 78, 16) },
        { "Option12", "98000Hz", QRect(5, 32, 78, 16) },
        { "Option13", "192000 Hz", QRect(5, 48, 78, 16) },
    };
    static_assert(std::size(rates) == SampleRateCount, "one option per sample rate");
    for (std::size_t i = 0; i < SampleRateCount; ++i)
        RateOption[i] = makeOption(Frame7, QString::fromLatin1(rates[i].name),
            QString::fromLatin1(rates[i].caption), rates[i].geometry);
    RateOption[sampleRateIndex(StartSampleRate)]->setChecked(true);
    Label8 = makeLabel(Frame7, "Label8", QStringLiteral("defazaj "), QRect(6, 65, 70, 14));
    // Set up as the F1 spinner is, range and start value.
    UpDown6 = makeUpDown(
        Frame7, "UpDown6", MinFrequency, MaxFrequency, StartFrequency1, QRect(8, 80, 16, 18));

    // Stereo and modulation modes.
    Frame6 = makeFrame(
        form, "Frame6", QString(), std::nullopt, QRect(468, FrameTop, 154, FrameHeight));
    const int modeTop = 9;
    Option2 = makeOption(Frame6, QStringLiteral("Option2"), QStringLiteral("F1 Left<->F1 Right"),
        QRect(4, modeTop, 146, 15), LightGreen);
    Option3 = makeOption(Frame6, QStringLiteral("Option3"), QStringLiteral("F1+ F2"),
        QRect(4, modeTop + 15, 146, 15), Peach);
    Option7 = makeOption(Frame6, QStringLiteral("Option7"), QStringLiteral("Modulation AM "),
        QRect(4, modeTop + 30, 146, 15), Peach);
    Option8 = makeOption(Frame6, QStringLiteral("Option8"), QStringLiteral("Modulation  AM-SP"),
        QRect(4, modeTop + 45, 146, 15), Peach);
    Option9 = makeOption(Frame6, QStringLiteral("Option9"), QStringLiteral("Modulation FM"),
        QRect(4, modeTop + 60, 146, 15), Peach);
    Option10 = makeOption(Frame6, QStringLiteral("Option10"), QStringLiteral("Stereo: F1-L,  F2-R"),
        QRect(4, modeTop + 75, 146, 15), Pink);
    Option2->setChecked(true);

    // Time view with its slider and caption.
    Picture3 = new PictureBox(TimeViewCanvasSize, Qt::black, form);
    Picture3->setObjectName(QStringLiteral("Picture3"));
    Picture3->setFont(scaleFont());
    Picture3->move(625, 84);
    Slider1 = new QSlider(Qt::Horizontal, form);
    Slider1->setObjectName(QStringLiteral("Slider1"));
    Slider1->setRange(0, 127);
    Slider1->setSingleStep(1);
    Slider1->setPageStep(5);
    Slider1->setValue(127);
    Slider1->setTickPosition(QSlider::TicksBelow);
    Slider1->setTickInterval(10);
    Slider1->setGeometry(625, 198, 176, 22);
    Label1 = makeLabel(form, "Label1", QStringLiteral("Time. Only View"), QRect(625, 221, 176, 14));
    Label1->setAlignment(Qt::AlignCenter);

    // Waveforms: two rows, index order is not the visual order.
    const int bottomTop = 184;
    Frame1 = makeFrame(form, "Frame1", QString(), std::nullopt, QRect(2, bottomTop, 464, 53));
    makeShape(Frame1, "Shape1", QRect(194, 9, 74, 42));
    makeShape(Frame1, "Shape2", QRect(340, 9, 121, 42));
    const int row1 = 12, row2 = 31;
    struct WaveOption {
        int index;
        const char* caption;
        QRect geometry;
    };
    const WaveOption waves[] = {
        // one per waveform
        { WaveSine, "Sine", QRect(5, row1, 60, 17) },
        { WavePwSine, "Pw Sine", QRect(66, row1, 63, 17) },
        { WaveSquare, "Square", QRect(5, row2, 60, 17) },
        { WaveTrapeze, "Trapeze", QRect(130, row1, 62, 17) },
        { WaveNoise, "W Noise", QRect(66, row2, 63, 17) },
        { WaveTriangle, "Triangle", QRect(130, row2, 62, 17) },
        { WavePwm, "PWM", QRect(198, row1, 48, 17) },
        { WaveStairsFalling, "Stairs", QRect(270, row1, 51, 17) },
        { WaveBitCode, "Bit Code", QRect(344, row1, 66, 17) },
        { WaveBitTwoTone, "Bit Two-Tone Code", QRect(344, row2, 115, 17) },
        { WaveStairsRising, "Stairs", QRect(270, row2, 51, 17) },
    };
    static_assert(std::size(waves) == WaveformCount, "one option per waveform");
    for (const WaveOption& w : waves)
        Option1[size_t(w.index)] = makeOption(Frame1, QStringLiteral("Option1_%1").arg(w.index),
            QString::fromLatin1(w.caption), w.geometry);
    Option1[WaveSine]->setChecked(true);
    UpDown7 = makeUpDown(Frame1, "UpDown7", 1, 100, StartDutyPercent, QRect(248, 12, 16, 36));
    Label3 = makeLabel(Frame1, "Label3", QStringLiteral("rap=50%"), QRect(198, row2 + 2, 50, 14));
    Picture4 = withFormPalette(new QLabel(Frame1));
    Picture4->setObjectName(QStringLiteral("Picture4"));
    Picture4->setPixmap(rampIcon(true));
    Picture4->setGeometry(321, row1, 17, 17);
    Picture5 = withFormPalette(new QLabel(Frame1));
    Picture5->setObjectName(QStringLiteral("Picture5"));
    Picture5->setPixmap(rampIcon(false));
    Picture5->setGeometry(321, row2, 17, 17);
    Command3 = makeButton(
        Frame1, "Command3", QStringLiteral("Set Bit"), Peach, QRect(411, row1, 47, 18));
    Command3->setEnabled(false);

    // Sweep of F1.
    Frame5 = makeFrame(
        form, "Frame5", QStringLiteral("Sweep F1"), std::nullopt, QRect(468, bottomTop, 154, 53));
    Option4 = makeOption(
        Frame5, QStringLiteral("Option4"), QStringLiteral("Man"), QRect(8, 22, 46, 18));
    Option5 = makeOption(
        Frame5, QStringLiteral("Option5"), QStringLiteral("Lin"), QRect(56, 22, 44, 18));
    Option6 = makeOption(
        Frame5, QStringLiteral("Option6"), QStringLiteral("Log"), QRect(102, 22, 46, 18));
    Option4->setChecked(true);

    // Both timers idle: an interval of 0 is a stopped timer here.
    Timer1 = new QTimer(FormGen);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    // A coarse timer may fire a tick up to 5 % of its interval off; a sweep step is due
    // every 10 ms.
    Timer1->setTimerType(Qt::PreciseTimer);
    Timer2 = new QTimer(FormGen);
    Timer2->setObjectName(QStringLiteral("Timer2"));

    // The window takes its fixed size now, not at its first showing.
    layout->activate();
}

} // namespace vellox
