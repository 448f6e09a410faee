#include "FormCode.h"

#include "BitCodeRules.h"
#include "Messages.h"
#include "ProgramLook.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>

namespace vellox {

namespace {
    constexpr int ClientWidth = 440;
    constexpr int ClientHeight = 190;

    // The pattern box takes only the characters 0 and 1, whichever way text arrives:
    // the key filter covers typing, this covers paste (keys, middle click, menu) and
    // drops, which would otherwise bypass it.
    class BitPatternEdit : public QPlainTextEdit {
    public:
        using QPlainTextEdit::QPlainTextEdit;

    protected:
        bool canInsertFromMimeData(const QMimeData* source) const override
        {
            return source->hasText();
        }

        void insertFromMimeData(const QMimeData* source) override
        {
            QString bits;
            for (const QChar c : source->text())
                if (c == u'0' || c == u'1')
                    bits.append(c);
            if (!bits.isEmpty())
                insertPlainText(bits);
        }

        void contextMenuEvent(QContextMenuEvent* event) override
        {
            QMenu* menu = createStandardContextMenu(event->pos());
            // The submenu inserting Unicode control characters would put invisible
            // non-bit characters into the pattern.
            for (QAction* action : menu->actions())
                if (action->menu())
                    menu->removeAction(action);
            menu->exec(event->globalPos());
            delete menu;
        }

        void inputMethodEvent(QInputMethodEvent* event) override
        {
            // Composed text never consists of bits.
            event->ignore();
        }
    };

    QFont arial(qreal pointSize, bool bold = false)
    {
        QFont font(QStringLiteral("Arial"));
        font.setPointSizeF(pointSize);
        font.setBold(bold);
        return font;
    }
}

bool acceptsBitPatternKey(int key, Qt::KeyboardModifiers modifiers)
{
    switch (key) {
    case Qt::Key_Backspace:
    case Qt::Key_Left:
    case Qt::Key_Up:
    case Qt::Key_Right:
    case Qt::Key_Down:
    case Qt::Key_Delete:
        return true;
    case Qt::Key_0:
    case Qt::Key_1:
        // The keypad's digits are other keys: only the main keyboard's 0 and 1 count.
        return !modifiers.testFlag(Qt::KeypadModifier);
    default:
        return false;
    }
}

struct FormCode::Controls {
    BitPatternEdit* Text1 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* Text3 = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* Text2 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
};

FormCode::FormCode(Module1& module1, QWidget* parent)
    : QDialog(parent,
        Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
            | Qt::WindowCloseButtonHint)
    , m_module1(module1)
    , m_controls(new Controls)
{
    setObjectName(QStringLiteral("FormCode"));
    setWindowTitle(QStringLiteral("Set Code Generator"));
    setModal(true);
    // A dialog is a window of its own and takes no palette from the main window.
    setPalette(programPalette());
    setFont(arial(9));
    setFixedSize(ClientWidth, ClientHeight);

    Controls& c = *m_controls;

    c.Text1 = new BitPatternEdit(this);
    c.Text1->setObjectName(QStringLiteral("Text1"));
    c.Text1->setFont(arial(14.25));
    c.Text1->setGeometry(8, 8, 424, 64);
    c.Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    c.Text1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    c.Text1->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    c.Text1->setTabChangesFocus(true);
    c.Text1->setAttribute(Qt::WA_InputMethodEnabled, false);
    c.Text1->installEventFilter(this);

    // A first hint, a run of blanks, and the advice to restart the generator after an
    // error: 24 + 41 + 27 = 92 characters.
    c.Label3 = new QLabel(QStringLiteral(" Enter free binary Code.") + QString(41, u' ')
            + QStringLiteral("On error restart generator "),
        this);
    c.Label3->setObjectName(QStringLiteral("Label3"));
    c.Label3->setTextFormat(Qt::PlainText);
    c.Label3->setWordWrap(true);
    c.Label3->setGeometry(8, 76, 424, 32);
    c.Label3->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    c.Label2 = new QLabel(QStringLiteral(" Bit Lenght (uS) "), this);
    c.Label2->setObjectName(QStringLiteral("Label2"));
    c.Label2->setGeometry(8, 116, 150, 18);

    c.Text3 = new QLineEdit(this);
    c.Text3->setObjectName(QStringLiteral("Text3"));
    c.Text3->setFont(arial(12, true));
    c.Text3->setGeometry(8, 136, 150, 30);

    c.Label1 = new QLabel(QStringLiteral(" Repetitive Time (mS) "), this);
    c.Label1->setObjectName(QStringLiteral("Label1"));
    c.Label1->setGeometry(170, 116, 150, 18);

    c.Text2 = new QLineEdit(this);
    c.Text2->setObjectName(QStringLiteral("Text2"));
    c.Text2->setFont(arial(12, true));
    c.Text2->setGeometry(170, 136, 150, 30);

    c.Command1 = new QPushButton(QStringLiteral("OK"), this);
    c.Command1->setObjectName(QStringLiteral("Command1"));
    c.Command1->setGeometry(340, 114, 92, 28);
    c.Command1->setDefault(true);

    c.Command2 = new QPushButton(QStringLiteral("Cancel"), this);
    c.Command2->setObjectName(QStringLiteral("Command2"));
    c.Command2->setGeometry(340, 150, 92, 28);

    setTabOrder(c.Text1, c.Text3);
    setTabOrder(c.Text3, c.Text2);
    setTabOrder(c.Text2, c.Command1);
    setTabOrder(c.Command1, c.Command2);

    connect(c.Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    connect(c.Command2, &QPushButton::clicked, this, [this] { Command2_Click(); });

    Form_Load();
}

FormCode::~FormCode()
{
    delete m_controls;
}

void FormCode::showEvent(QShowEvent* event)
{
    // Each opening starts from the stored settings, also when the caller keeps one
    // instance and shows it again.
    if (!event->spontaneous())
        Form_Load();
    QDialog::showEvent(event);
}

void FormCode::Form_Load()
{
    const BitCodeTexts texts = bitCodeTexts(m_module1);
    m_controls->Text1->setPlainText(QString::fromStdString(texts.Text1));
    m_controls->Text2->setText(QString::fromStdString(texts.Text2));
    m_controls->Text3->setText(QString::fromStdString(texts.Text3));
    m_controls->Text1->setFocus();
}

bool FormCode::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_controls->Text1 && event->type() == QEvent::KeyPress)
        return Text1_KeyDown(static_cast<QKeyEvent*>(event));
    return QDialog::eventFilter(watched, event);
}

bool FormCode::Text1_KeyDown(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Escape:
        // Focus moves and the cancel button belong to the dialog, not to the pattern.
        return false;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // Enter is the default button's, not a line break in the pattern.
        m_controls->Command1->click();
        return true;
    default:
        break;
    }

    const QString before = m_controls->Text1->toPlainText();
    if (acceptsBitPatternKey(event->key(), event->modifiers()))
        return false;

    showMessage(this, QString::fromUtf8(BitSymbolMessage));
    // Refused keys never reach the box; write back only if something changed meanwhile,
    // so that the caret stays where it was.
    if (m_controls->Text1->toPlainText() != before)
        m_controls->Text1->setPlainText(before);
    return true;
}

void FormCode::Command1_Click()
{
    const Controls& c = *m_controls;
    const BitCodeTexts entered { c.Text1->toPlainText().toStdString(),
        c.Text2->text().toStdString(), c.Text3->text().toStdString() };
    const BitCodeOutcome outcome = checkBitCodeEntries(entered, m_module1);
    for (const std::string& message : outcome.messages)
        showMessage(this, QString::fromStdString(message));
    if (!outcome.close) {
        c.Text1->setPlainText(QString::fromStdString(m_module1.BitCode));
        return;
    }
    m_module1 = outcome.stored;
    if (m_store)
        m_store(outcome.stored);
    accept();
}

void FormCode::Command2_Click()
{
    reject();
}

} // namespace vellox
