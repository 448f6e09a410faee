#include "FormGen.h"

#include "ControlCaptions.h"
#include "FormCode.h"
#include "FrequencyScale.h"
#include "Help.h"
#include "InputBits.h"
#include "Messages.h"
#include "NumberText.h"
#include "PictureBox.h"
#include "ProgramIcon.h"
#include "Rounding.h"
#include "SoundObjects.h"
#include "TimeView.h"
#include "UpDown.h"
#include "frmAboutGen.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QSlider>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <optional>
#include <stdexcept>

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
    constexpr QColor CursorGreen { 0, 255, 0 };
    constexpr QColor ScalePen { 0, 192, 0 };

    constexpr int VirtualKeyEnter = 13;
    constexpr int SweepTickMs = 10; // Timer1 after a restart
    constexpr int RateSettleMs = 1000; // Timer2 after a sample-rate change
    // 10^(1/100) in double: a logarithmic sweep takes 100 steps per decade.
    const double LogSweepFactor = std::pow(10.0, 1.0 / 100.0);

    QString qs(const std::string& text)
    {
        return QString::fromStdString(text);
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
        auto* button = new QPushButton(caption, parent);
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
        auto* frame = new QGroupBox(caption, parent);
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
        auto* option = new QRadioButton(caption, parent);
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
        auto* label = new QLabel(caption, parent);
        label->setObjectName(QString::fromLatin1(name));
        label->setFont(font);
        label->setGeometry(geometry);
        return label;
    }

    UpDown* makeUpDown(
        QWidget* parent, const char* name, int minimum, int maximum, int start, QRect geometry)
    {
        auto* spinner = new UpDown(parent);
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
        auto* shape = new QFrame(parent);
        shape->setObjectName(QString::fromLatin1(name));
        shape->setFrameShape(QFrame::Box);
        shape->setFrameShadow(QFrame::Plain);
        shape->setLineWidth(1);
        shape->setGeometry(geometry);
        shape->setAttribute(Qt::WA_TransparentForMouseEvents);
        return shape;
    }

    // Ends of the MinFrequency..MaxFrequency range that every frequency field keeps.
    int16_t clampFrequency(double hz)
    {
        return roundToInt16(std::clamp(hz, double(MinFrequency), double(MaxFrequency)));
    }

} // namespace

FormGen::FormGen(audio::SoundBackend& backend, QWidget* parent)
    : QWidget(parent,
        Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
            | Qt::WindowCloseButtonHint)
    , m_sound(std::make_unique<audio::SoundObjects>(backend))
    , m_endProgram([] { QCoreApplication::exit(0); })
{
    setObjectName(QStringLiteral("FormGen"));
    setWindowTitle(QStringLiteral(" Korvane  Vellox"));
    setWindowIcon(programIcon());
    setFixedSize(ClientWidth, ClientHeight);
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, WindowGrey);
    setPalette(palette);

    buildLayout();
    Form_Load();
    connectHandlers();
}

FormGen::~FormGen()
{
    Form_Terminate();
}

void FormGen::buildLayout()
{
    // The two scales across the whole width.
    Picture1 = new PictureBox(QSize(ScaleWidth, ScaleHeight), Qt::black, this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->move(0, 0);
    Picture2 = new PictureBox(QSize(ScaleWidth, ScaleHeight), Qt::black, this);
    Picture2->setObjectName(QStringLiteral("Picture2"));
    Picture2->move(0, 41);
    for (PictureBox* scale : { Picture1, Picture2 }) {
        scale->setForeColor(ScalePen);
        scale->setFont(scaleFont());
    }

    // The column of main buttons.
    const int bandTop = 84;
    Play = makeButton(this, "Play", QStringLiteral("Start"), LightCyan, QRect(3, bandTop, 58, 19));
    Stop = makeButton(
        this, "Stop", QStringLiteral("Stop"), LightOrange, QRect(3, bandTop + 20, 58, 19));
    Command1 = makeButton(
        this, "Command1", QStringLiteral("Help"), WindowGrey, QRect(3, bandTop + 40, 58, 19));
    Command6 = makeButton(
        this, "Command6", QStringLiteral("About"), Qt::white, QRect(3, bandTop + 60, 58, 19));
    Command2 = makeButton(
        this, "Command2", QStringLiteral("Exit"), Silver, QRect(3, bandTop + 80, 58, 19));

    // F1 and F2 frames: text box with its spinner and "Hz", the entry button, the level.
    const int frameTop = 83;
    const int frameHeight = 100;
    struct FrequencyControls {
        QGroupBox*& frame;
        const char* frameName;
        const char* caption;
        QColor background;
        int left;
        int16_t start;
        QLineEdit*& text;
        const char* textName;
        QColor digits;
        QLabel*& hz;
        const char* hzName;
        QPushButton*& enter;
        const char* enterName;
        const char* enterCaption;
        QColor enterFace;
        UpDown*& frequency;
        const char* frequencyName;
        UpDown*& level;
        const char* levelName;
        QLabel*& levelLabel;
        const char* levelLabelName;
    };
    FrequencyControls frequencyFrames[] = {
        { Frame2, "Frame2", "Frequency1  ", FrameCyan, 64, StartFrequency1, Text1, "Text1",
            QColor(0, 255, 255), Label6, "Label6", Command4, "Command4", "Enter Frq1", LightCyan,
            UpDown1, "UpDown1", UpDown2, "UpDown2", Label5, "Label5" },
        { Frame4, "Frame4", "Frequency2   ", Peach, 197, StartFrequency2, Text2, "Text2",
            QColor(255, 0, 0), Label7, "Label7", Command5, "Command5", "Enter Frq2", LightRed,
            UpDown3, "UpDown3", UpDown4, "UpDown4", Label4, "Label4" },
    };
    for (FrequencyControls& f : frequencyFrames) {
        f.frame = makeFrame(this, f.frameName, QString::fromLatin1(f.caption), f.background,
            QRect(f.left, frameTop, 131, frameHeight));
        // Both boxes start with F1's digits; Form_Load writes each frame's own.
        f.text = new QLineEdit(qs(plainNumber(int(StartFrequency1))), f.frame);
        f.text->setObjectName(QString::fromLatin1(f.textName));
        f.text->setFont(entryFont());
        f.text->setStyleSheet(QStringLiteral("QLineEdit { color: %1; background-color: black; "
                                             "border: 1px solid rgb(128,128,128); padding: 0px; }")
                                  .arg(colourCss(f.digits)));
        f.text->setGeometry(6, 18, 68, 28);
        f.frequency = makeUpDown(
            f.frame, f.frequencyName, MinFrequency, MaxFrequency, f.start, QRect(75, 18, 16, 28));
        f.hz = makeLabel(
            f.frame, f.hzName, QStringLiteral("Hz"), QRect(95, 20, 32, 24), entryFont());
        f.enter = makeButton(f.frame, f.enterName, QString::fromLatin1(f.enterCaption), f.enterFace,
            QRect(6, 50, 85, 20));
        f.level = makeUpDown(f.frame, f.levelName, 0, 15, StartLevelStep, QRect(6, 73, 16, 24));
        f.levelLabel = makeLabel(
            f.frame, f.levelLabelName, qs(levelCaption(StartLevelStep)), QRect(26, 78, 102, 15));
    }

    // Noise.
    Frame3 = makeFrame(this, "Frame3", QStringLiteral("Noise"), LightYellow,
        QRect(330, frameTop, 48, frameHeight));
    Label2 = makeLabel(Frame3, "Label2", QStringLiteral("0 %"), QRect(5, 20, 40, 15));
    UpDown5 = makeUpDown(Frame3, "UpDown5", 0, 10, 0, QRect(14, 40, 18, 44));

    // Settings: the sample rate and the phase spinner that nothing reads. One option per
    // entry of SampleRates, in its order.
    Frame7 = makeFrame(this, "Frame7", QStringLiteral("Settings"), WindowGrey,
        QRect(380, frameTop, 86, frameHeight));
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
        this, "Frame6", QString(), std::nullopt, QRect(468, frameTop, 154, frameHeight));
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
    Picture3 = new PictureBox(TimeViewCanvasSize, Qt::black, this);
    Picture3->setObjectName(QStringLiteral("Picture3"));
    Picture3->setFont(scaleFont());
    Picture3->move(625, 84);
    Slider1 = new QSlider(Qt::Horizontal, this);
    Slider1->setObjectName(QStringLiteral("Slider1"));
    Slider1->setRange(0, 127);
    Slider1->setSingleStep(1);
    Slider1->setPageStep(5);
    Slider1->setValue(127);
    Slider1->setTickPosition(QSlider::TicksBelow);
    Slider1->setTickInterval(10);
    Slider1->setGeometry(625, 198, 176, 22);
    Label1 = makeLabel(this, "Label1", QStringLiteral("Time. Only View"), QRect(625, 221, 176, 14));
    Label1->setAlignment(Qt::AlignCenter);

    // Waveforms: two rows, index order is not the visual order.
    const int bottomTop = 184;
    Frame1 = makeFrame(this, "Frame1", QString(), std::nullopt, QRect(2, bottomTop, 464, 53));
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
        { WaveStairsFalling, "Stairs", QRect(272, row1, 48, 17) },
        { WaveBitCode, "Bit Code", QRect(344, row1, 66, 17) },
        { WaveBitTwoTone, "Bit Two-Tone Code", QRect(344, row2, 115, 17) },
        { WaveStairsRising, "Stairs", QRect(272, row2, 48, 17) },
    };
    static_assert(std::size(waves) == WaveformCount, "one option per waveform");
    for (const WaveOption& w : waves)
        Option1[size_t(w.index)] = makeOption(Frame1, QStringLiteral("Option1_%1").arg(w.index),
            QString::fromLatin1(w.caption), w.geometry);
    Option1[WaveSine]->setChecked(true);
    UpDown7 = makeUpDown(Frame1, "UpDown7", 1, 100, StartDutyPercent, QRect(248, 12, 16, 36));
    Label3 = makeLabel(Frame1, "Label3", QStringLiteral("rap=50%"), QRect(198, row2 + 2, 50, 14));
    Picture4 = new QLabel(Frame1);
    Picture4->setObjectName(QStringLiteral("Picture4"));
    Picture4->setPixmap(rampIcon(true));
    Picture4->setGeometry(321, row1, 17, 17);
    Picture5 = new QLabel(Frame1);
    Picture5->setObjectName(QStringLiteral("Picture5"));
    Picture5->setPixmap(rampIcon(false));
    Picture5->setGeometry(321, row2, 17, 17);
    Command3 = makeButton(
        Frame1, "Command3", QStringLiteral("Set Bit"), Peach, QRect(411, row1, 47, 18));
    Command3->setEnabled(false);

    // Sweep of F1.
    Frame5 = makeFrame(
        this, "Frame5", QStringLiteral("Sweep F1"), std::nullopt, QRect(468, bottomTop, 154, 53));
    Option4 = makeOption(
        Frame5, QStringLiteral("Option4"), QStringLiteral("Man"), QRect(8, 22, 46, 18));
    Option5 = makeOption(
        Frame5, QStringLiteral("Option5"), QStringLiteral("Lin"), QRect(56, 22, 44, 18));
    Option6 = makeOption(
        Frame5, QStringLiteral("Option6"), QStringLiteral("Log"), QRect(102, 22, 46, 18));
    Option4->setChecked(true);

    // Both timers idle: an interval of 0 is a stopped timer here.
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    // A coarse timer may fire a tick up to 5 % of its interval off; a sweep step is due
    // every 10 ms.
    Timer1->setTimerType(Qt::PreciseTimer);
    Timer2 = new QTimer(this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
}

void FormGen::connectHandlers()
{
    connect(Play, &QPushButton::clicked, this, [this] { Play_Click(); });
    connect(Stop, &QPushButton::clicked, this, [this] { Stop_Click(); });
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    connect(Command2, &QPushButton::clicked, this, [this] { Command2_Click(); });
    connect(Command3, &QPushButton::clicked, this, [this] { Command3_Click(); });
    connect(Command4, &QPushButton::clicked, this, [this] { Command4_Click(); });
    connect(Command5, &QPushButton::clicked, this, [this] { Command5_Click(); });
    connect(Command6, &QPushButton::clicked, this, [this] { Command6_Click(); });

    connect(Timer1, &QTimer::timeout, this, [this] {
        const bool outer = m_inTimer1Tick; // a failure message's event loop nests ticks
        m_inTimer1Tick = true;
        const auto restore = qScopeGuard([this, outer] { m_inTimer1Tick = outer; });
        Timer1_Timer();
    });
    connect(Timer2, &QTimer::timeout, this, [this] { Timer2_Timer(); });

    connect(Picture1, &PictureBox::MouseDown, this, &FormGen::Picture1_MouseDown);
    connect(Picture1, &PictureBox::MouseMove, this, &FormGen::Picture1_MouseMove);
    connect(Picture2, &PictureBox::MouseDown, this, &FormGen::Picture2_MouseDown);
    connect(Picture2, &PictureBox::MouseMove, this, &FormGen::Picture2_MouseMove);

    Text1->installEventFilter(this);
    Text2->installEventFilter(this);

    connect(UpDown1, &UpDown::Change, this, [this] { UpDown1_Change(); });
    connect(UpDown2, &UpDown::Change, this, [this] { UpDown2_Change(); });
    connect(UpDown3, &UpDown::Change, this, [this] { UpDown3_Change(); });
    connect(UpDown4, &UpDown::Change, this, [this] { UpDown4_Change(); });
    connect(UpDown5, &UpDown::Change, this, [this] { UpDown5_Change(); });
    connect(UpDown7, &UpDown::Change, this, [this] { UpDown7_Change(); });
    // Only the user's movements scroll the view: actionTriggered is not raised by setValue.
    connect(Slider1, &QSlider::actionTriggered, this, [this](int) { Slider1_Scroll(); });

    // An option's click is its becoming selected.
    auto onSelect = [this](QRadioButton* option, auto handler) {
        connect(option, &QRadioButton::toggled, this, [this, handler](bool checked) {
            if (checked)
                (this->*handler)();
        });
    };
    for (int index = 0; index < int(Option1.size()); ++index)
        connect(Option1[size_t(index)], &QRadioButton::toggled, this, [this, index](bool checked) {
            if (checked)
                Option1_Click(index);
        });
    onSelect(Option2, &FormGen::Option2_Click);
    onSelect(Option3, &FormGen::Option3_Click);
    onSelect(Option7, &FormGen::Option7_Click);
    onSelect(Option8, &FormGen::Option8_Click);
    onSelect(Option9, &FormGen::Option9_Click);
    onSelect(Option10, &FormGen::Option10_Click);
    onSelect(Option4, &FormGen::Option4_Click);
    onSelect(Option5, &FormGen::Option5_Click);
    onSelect(Option6, &FormGen::Option6_Click);
    for (std::size_t index = 0; index < SampleRateCount; ++index)
        connect(RateOption[index], &QRadioButton::toggled, this, [this, index](bool checked) {
            if (checked)
                RateOption_Click(index);
        });
}

// ---- start-up and shut-down -------------------------------------------------------------

void FormGen::Form_Load()
{
    setStartValues(m_state, m_module1);
    m_samples.forget(); // Samples was re-created
    Text1->setText(qs(plainNumber(int(StartFrequency1))));
    Text2->setText(qs(plainNumber(int(StartFrequency2))));
    DrawMarcajeFrecventa1();
    DrawMarcajeFrecventa2();
    try {
        m_sound->InitSound(m_state.SampleRate, m_module1.RepetitiveTime);
    } catch (const std::exception&) {
        // Without a usable device the window still starts, silent; "Start" opens the
        // device from scratch and reports again if it still fails.
        m_sound->ReleaseSound();
        reportFailure();
    }
}

void FormGen::releaseAndEnd()
{
    Timer1->stop();
    Timer2->stop();
    m_sound->ReleaseSound();
    if (m_ended)
        return;
    m_ended = true;
    if (m_endProgram)
        m_endProgram();
}

void FormGen::Command2_Click()
{
    releaseAndEnd();
}

void FormGen::Form_QueryUnload()
{
    releaseAndEnd();
}

void FormGen::Form_Terminate()
{
    releaseAndEnd();
}

void FormGen::closeEvent(QCloseEvent* event)
{
    // Closing is never refused.
    Form_QueryUnload();
    event->accept();
}

// ---- buttons ---------------------------------------------------------------------------

void FormGen::Command1_Click()
{
    openHelp(this);
}

void FormGen::Command6_Click()
{
    frmAboutGen about(this);
    about.exec();
}

void FormGen::showFormCode()
{
    // One dialog serves every call, loaded afresh at each showing: it reads the shared
    // bit-code settings when it is built, so a Cancel never leaves stale edits behind.
    FormCode dialog(m_module1, this);
    dialog.exec();
}

void FormGen::Command3_Click()
{
    showFormCode();
    Play_Click();
}

void FormGen::reportFailure()
{
    m_reporting = true;
    showMessage(this, QString::fromLatin1(PlayFailureMessage));
    m_reporting = false;
}

void FormGen::setTimerInterval(QTimer* timer, int milliseconds)
{
    // An interval of 0 means idle; any other value (re)starts the countdown.
    if (milliseconds == 0) {
        timer->stop();
        timer->setInterval(0);
    } else if (timer == Timer1 && m_inTimer1Tick && timer->isActive()
        && timer->interval() == milliseconds) {
        // Re-armed with its own interval by its own tick (every sweep step restarts the
        // sound): the countdown that began when the tick was due runs on, so a step comes
        // every 10 ms instead of 10 ms after the step's work. A step that outlasts the
        // interval is followed by one tick at once, never by a pile of them.
    } else {
        timer->start(milliseconds);
    }
}

void FormGen::Play_Click()
{
    bool scaleDrawn = false;
    try {
        Picture1->Cls();
        m_sound->ReleaseSound();
        m_samples.setAside(m_state.Samples);
        m_state.Samples.assign(playSampleCount(m_module1.RepetitiveTime, m_state.SampleRate), 0);
        m_sound->InitSound(m_state.SampleRate, m_module1.RepetitiveTime);
        DrawMarcajeFrecventa1();
        scaleDrawn = true;
        SynthesizeSignal();
        setTimerInterval(Timer1, SweepTickMs);
        const int32_t byteCount
            = audio::bufferByteCount(m_module1.RepetitiveTime, m_state.SampleRate);
        // The write must stay inside Samples; the dialog's limits keep it there, and a
        // count beyond them is refused like any other failure rather than read past the end.
        if (byteCount < 0 || size_t(byteCount) > m_state.Samples.size() * sizeof(int16_t))
            throw std::range_error("buffer byte count beyond the samples");
        m_sound->WriteBuffer(0, byteCount, m_state.Samples.data(), 0);
        m_sound->Play(1);
    } catch (const std::exception&) {
        // The F1 scale was cleared first; a failure before it was drawn again would leave
        // the strip blank while F1 still holds its frequency.
        if (!scaleDrawn)
            DrawMarcajeFrecventa1();
        ++m_playFailures;
        reportFailure();
    }
}

void FormGen::Stop_Click()
{
    // A device that refuses to stop is reported like a failed start; an exception must
    // not leave the click handler, where it would end the program.
    try {
        m_sound->Stop();
    } catch (const std::exception&) {
        reportFailure();
    }
}

// ---- timers ----------------------------------------------------------------------------

void FormGen::Timer1_Timer()
{
    // While a failure message is open its own event loop still delivers ticks; they wait
    // until the user has read it, so failures never pile up one box on another.
    if (m_reporting)
        return;
    if (m_state.SweepMode == SweepManual) {
        setTimerInterval(Timer1, 0);
        try {
            SynthesizeSignal();
        } catch (const std::exception&) {
            reportFailure();
        }
        return;
    }
    const int16_t previous = m_state.Frequency1;
    try {
        if (m_state.SweepMode == SweepLinear)
            m_state.Frequency1 = int16_t(m_state.Frequency1 + 10);
        else if (m_state.SweepMode == SweepLogaritmic)
            m_state.Frequency1 = roundToInt16(LogSweepFactor * double(m_state.Frequency1) + 0.5);
        else
            return;
        if (m_state.Frequency1 >= MaxFrequency)
            m_state.Frequency1 = MinFrequency;
        SynthesizeSignal();
    } catch (const std::exception&) {
        // A failed step leaves F1 where the spinner shows it and pauses the sweep until the
        // next restart, instead of repeating the failure every 10 ms.
        m_state.Frequency1 = previous;
        setTimerInterval(Timer1, 0);
        reportFailure();
        return;
    }
    // The spinner's change handler restarts the sound. When that restart fails, the sweep
    // pauses like a failed synthesis does: the device stays as broken for the next step,
    // which would bring the same message again 10 ms after this one is dismissed.
    const quint64 failuresBefore = m_playFailures;
    UpDown1->setValue(m_state.Frequency1);
    if (m_playFailures != failuresBefore)
        setTimerInterval(Timer1, 0);
}

void FormGen::Timer2_Timer()
{
    setTimerInterval(Timer1, SweepTickMs);
    setTimerInterval(Timer2, 0);
}

// ---- sample rate -----------------------------------------------------------------------

void FormGen::changeSampleRate(int32_t rate)
{
    setTimerInterval(Timer1, 0);
    m_state.SampleRate = rate;
    m_samples.setAside(m_state.Samples);
    // With no device open (after a failed start) the rate is only recorded: the next
    // Play opens the device at it.
    if (m_sound->hasSoundDevice()) {
        try {
            m_sound->RecreateSoundBuffer(m_state.SampleRate, m_module1.RepetitiveTime);
        } catch (const std::exception&) {
            // Reported like Play's failure; the next Play opens everything afresh.
            reportFailure();
        }
    }
    m_state.Samples.assign(playSampleCount(m_module1.RepetitiveTime, m_state.SampleRate), 0);
    setTimerInterval(Timer2, RateSettleMs);
}

void FormGen::RateOption_Click(std::size_t index)
{
    changeSampleRate(SampleRates[index]);
}

void FormGen::Option11_Click()
{
    RateOption_Click(0);
}
void FormGen::Option12_Click()
{
    RateOption_Click(1);
}
void FormGen::Option13_Click()
{
    RateOption_Click(2);
}

// ---- frequency scales ------------------------------------------------------------------

void FormGen::DrawMarcajeFrecventa1()
{
    // The marker follows the drawn cursor, so the next XOR move erases this very line.
    Text1->setText(
        DrawMarcajeFrecventa(*Picture1, ScaleStyle::f1(), m_state.Frequency1, &m_state.Marker1X));
}

void FormGen::DrawMarcajeFrecventa2()
{
    Text2->setText(
        DrawMarcajeFrecventa(*Picture2, ScaleStyle::f2(), m_state.Frequency2, &m_state.Marker2X));
}

void FormGen::pressScale(int which, int button, float x, bool drag)
{
    PictureBox& picture = which == 1 ? *Picture1 : *Picture2;
    float& marker = which == 1 ? m_state.Marker1X : m_state.Marker2X;
    int16_t& field = which == 1 ? m_state.Frequency1 : m_state.Frequency2;
    UpDown& spinner = which == 1 ? *UpDown1 : *UpDown3;

    // A drag past either end sets that end of the 20..20000 Hz range. The XOR cursor then
    // goes where that frequency is drawn, not under the pointer off the scale: when the
    // spinner already holds the end, nothing redraws, and the lines must still cancel.
    const double unclamped = std::nearbyint(double(x == 0.0f ? 1.0f : x) * double(HzPerPixel));
    const int16_t picked = pickFrequency(x);
    if (double(picked) != unclamped)
        x = cursorX(picked);

    const std::optional<int16_t> frequency = drag ? scaleMouseMove(picture, marker, button, x)
                                                  : scaleMouseDown(picture, marker, button, x);
    if (!frequency)
        return;
    field = *frequency;
    spinner.setValue(*frequency);
}

void FormGen::Picture1_MouseDown(int button, int, float x, float)
{
    pressScale(1, button, x, false);
}
void FormGen::Picture1_MouseMove(int button, int, float x, float)
{
    pressScale(1, button, x, true);
}
void FormGen::Picture2_MouseDown(int button, int, float x, float)
{
    pressScale(2, button, x, false);
}
void FormGen::Picture2_MouseMove(int button, int, float x, float)
{
    pressScale(2, button, x, true);
}

// ---- frequency entry -------------------------------------------------------------------

void FormGen::enterFrequency(QLineEdit* text, UpDown* spinner, PictureBox* picture, int16_t& field)
{
    picture->setForeColor(CursorGreen);
    picture->setDrawWidth(2);
    picture->setDrawMode(PictureBox::PenMode::Xor);
    const std::string typed = text->text().toStdString();
    // Out-of-range numbers are clamped to the frequency range; a text without a number is
    // ignored.
    if (const std::optional<double> number = readLeadingNumber(typed)) {
        field = clampFrequency(*number);
        spinner->setValue(field);
    }
    // When the spinner did not change nothing redrew the box: show the frequency in force.
    const QString shown = qs(plainNumber(int(field)));
    if (text->text() != shown)
        text->setText(shown);
}

void FormGen::Command4_Click()
{
    enterFrequency(Text1, UpDown1, Picture1, m_state.Frequency1);
}
void FormGen::Command5_Click()
{
    enterFrequency(Text2, UpDown3, Picture2, m_state.Frequency2);
}

void FormGen::Text1_KeyDown(int keyCode, int)
{
    if (keyCode == VirtualKeyEnter)
        Command4_Click();
}

void FormGen::Text2_KeyDown(int keyCode, int)
{
    if (keyCode == VirtualKeyEnter)
        Command5_Click();
}

bool FormGen::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && (watched == Text1 || watched == Text2)) {
        auto* key = static_cast<QKeyEvent*>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        const int keyCode = enter ? VirtualKeyEnter : (key->key() < 256 ? key->key() : 0);
        const int shift = shiftBits(key->modifiers());
        if (watched == Text1)
            Text1_KeyDown(keyCode, shift);
        else
            Text2_KeyDown(keyCode, shift);
        return enter; // Enter is consumed; every other key reaches the box as usual
    }
    return QWidget::eventFilter(watched, event);
}

// ---- spinners and slider ---------------------------------------------------------------

void FormGen::UpDown1_Change()
{
    m_state.Frequency1 = int16_t(UpDown1->value());
    Picture1->Cls();
    DrawMarcajeFrecventa1();
    try {
        SynthesizeSignal();
    } catch (const std::exception&) {
        // The restart below computes the same samples again and reports its failure once.
    }
    Play_Click();
}

void FormGen::UpDown3_Change()
{
    m_state.Frequency2 = int16_t(UpDown3->value());
    Picture2->Cls();
    DrawMarcajeFrecventa2();
    try {
        SynthesizeSignal();
    } catch (const std::exception&) {
        // As for F1: the restart reports the failure.
    }
    Play_Click();
}

void FormGen::UpDown2_Change()
{
    Label5->setText(qs(levelCaption(UpDown2->value())));
    m_state.Level1 = levelFactor(UpDown2->value());
    Play_Click();
}

void FormGen::UpDown4_Change()
{
    Label4->setText(qs(levelCaption(UpDown4->value())));
    m_state.Level2 = levelFactor(UpDown4->value());
    Play_Click();
}

void FormGen::UpDown5_Change()
{
    Label2->setText(qs(noiseCaption(UpDown5->value())));
    m_state.NoiseLevel = noiseLevel(UpDown5->value());
    Play_Click();
}

void FormGen::UpDown7_Change()
{
    Label3->setText(qs(dutyCaption(UpDown7->value())));
    Play_Click();
}

void FormGen::Slider1_Scroll()
{
    // During a user action the position is already moved while value() still lags.
    m_state.TimeViewSpan = timeViewSpan(Slider1->sliderPosition());
    DrawTimeView();
}

// ---- option groups ---------------------------------------------------------------------

void FormGen::Option1_Click(int Index)
{
    m_state.Waveform = int16_t(Index);
    Option9->setEnabled(enablesFmAndSetBit(Index));
    Command3->setEnabled(enablesFmAndSetBit(Index));
    if (Index == WaveBitCode)
        showFormCode();
    Play_Click();
}

void FormGen::setChannelMode(int16_t mode)
{
    m_state.ChannelMode = mode;
    Play_Click();
}

void FormGen::Option2_Click()
{
    setChannelMode(ModeF1Both);
}
void FormGen::Option3_Click()
{
    setChannelMode(ModeF1PlusF2);
}
void FormGen::Option7_Click()
{
    setChannelMode(ModeAm);
}
void FormGen::Option8_Click()
{
    setChannelMode(ModeAmSp);
}
void FormGen::Option9_Click()
{
    setChannelMode(ModeFm);
}
void FormGen::Option10_Click()
{
    setChannelMode(ModeStereo);
}

void FormGen::Option4_Click()
{
    m_state.SweepMode = SweepManual;
}
void FormGen::Option5_Click()
{
    m_state.SweepMode = SweepLinear;
}
void FormGen::Option6_Click()
{
    m_state.SweepMode = SweepLogaritmic;
}

// ---- synthesis and time view -----------------------------------------------------------

void FormGen::SynthesizeSignal()
{
    const PhaseSteps steps = m_samples.synthesize(
        synthSettings(m_state, UpDown7->value()), m_module1, m_random, m_state.Samples);
    m_state.PhaseStep1 = steps.PhaseStep1;
    m_state.PhaseStep2 = steps.PhaseStep2;
    DrawTimeView();
}

FormGen::DrawnTimeView FormGen::timeViewInputs() const
{
    return { m_samples.samplesId(), m_state.TimeViewSpan, m_state.Waveform, m_state.ChannelMode,
        m_state.Frequency1, m_state.Frequency2, m_module1.BitLength, Picture3->generation(),
        Picture3->current(), Picture3->foreColor().rgb(), Picture3->drawWidth(),
        int(Picture3->drawMode()), int(Picture3->drawStyle()) };
}

void FormGen::DrawTimeView()
{
    // The lowest slider position (span 0) has no scale of its own and draws as the
    // smallest span, 100; a buffer shorter than the view draws the points it has.
    if (m_drawnTimeView && *m_drawnTimeView == timeViewInputs())
        return;
    m_drawnTimeView.reset();
    ::vellox::DrawTimeView(*Picture3, m_state.Samples, m_state.TimeViewSpan, m_state.Waveform,
        m_state.ChannelMode, m_state.Frequency1, m_state.Frequency2, m_module1.BitLength);
    m_drawnTimeView = timeViewInputs();
}

} // namespace vellox
