#include "Messages.h"

#include "ProgramLook.h"

#include <QApplication>
#include <QMessageBox>

#include <utility>

namespace vellox {

namespace {
    // One handler for the whole process: every message box is shown on the event thread.
    MessageHandler& installedHandler()
    {
        static MessageHandler handler;
        return handler;
    }
    DetailedMessageHandler& installedDetailedHandler()
    {
        static DetailedMessageHandler handler;
        return handler;
    }
}

void showMessage(QWidget* parent, const QString& text, const QString& detail)
{
    // Copies first: a handler may replace itself while it runs.
    if (const DetailedMessageHandler current = installedDetailedHandler()) {
        current(parent, text, detail);
        return;
    }
    if (const MessageHandler current = installedHandler()) {
        current(parent, text);
        return;
    }
    QMessageBox box(
        QMessageBox::NoIcon, QString::fromLatin1(ApplicationTitle), text, QMessageBox::Ok, parent);
    if (!detail.isEmpty())
        box.setDetailedText(detail);
    box.setObjectName(QStringLiteral("MessageBox"));
    // A window of its own: the main window's palette does not reach it.
    box.setPalette(programPalette());
    box.setWindowIcon(QApplication::windowIcon());
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Ok);
    box.exec();
}

MessageHandler setMessageHandler(MessageHandler handler)
{
    return std::exchange(installedHandler(), std::move(handler));
}

void setDetailedMessageHandler(DetailedMessageHandler handler)
{
    installedDetailedHandler() = std::move(handler);
}

} // namespace vellox
