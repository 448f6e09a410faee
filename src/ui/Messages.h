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
void showMessage(QWidget* parent, const QString& text);

// Replaces the modal box by `handler` (nullptr restores the real box). Returns the
// previous handler.
using MessageHandler = std::function<void(QWidget* parent, const QString& text)>;
MessageHandler setMessageHandler(MessageHandler handler);

} // namespace vellox
