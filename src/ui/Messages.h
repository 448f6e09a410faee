#pragma once

// The one seam every message box of the program goes through: an OK button only and
// the application's title as caption. Tests install a handler to read and answer
// messages without a person.

#include <QString>

#include <functional>

class QWidget;

namespace vellox {

inline constexpr const char* ApplicationTitle = "Korvane Vellox";

// Shows `text` modally (or hands it to the installed handler) and returns when closed.
// A `detail` (the reason behind a failure, a hint) goes into the box's details, which the
// user opens with its "Show Details..." button; the text itself stays as it is.
void showMessage(QWidget* parent, const QString& text, const QString& detail = QString());

// Replaces the modal box by `handler` (nullptr restores the real box). Returns the
// previous handler. A handler sees the text; one installed with setDetailedMessageHandler
// sees the detail as well.
using MessageHandler = std::function<void(QWidget* parent, const QString& text)>;
MessageHandler setMessageHandler(MessageHandler handler);
using DetailedMessageHandler
    = std::function<void(QWidget* parent, const QString& text, const QString& detail)>;
void setDetailedMessageHandler(DetailedMessageHandler handler);

} // namespace vellox
