#include "Messages.h"

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
}

void showMessage(QWidget* parent, const QString& text)
{
    if (const MessageHandler& handler = installedHandler()) {
        // Copy first: a handler may replace itself while it runs.
        const MessageHandler current = handler;
        current(parent, text);
        return;
    }
    QMessageBox box(
        QMessageBox::NoIcon, QString::fromLatin1(ApplicationTitle), text, QMessageBox::Ok, parent);
    box.setObjectName(QStringLiteral("MessageBox"));
    box.setWindowIcon(QApplication::windowIcon());
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Ok);
    box.exec();
}

MessageHandler setMessageHandler(MessageHandler handler)
{
    return std::exchange(installedHandler(), std::move(handler));
}

} // namespace vellox
