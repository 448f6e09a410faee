#pragma once

// Catches what the program shows through the message seam (src/ui/Messages.h), so that no
// message box waits for a user.

#include "Messages.h"

#include <QString>
#include <QStringList>

namespace vellox::testing {

// Every message from now on is appended to `messages` instead of being shown, until the
// next setMessageHandler (setMessageHandler(nullptr) shows them again).
inline void captureMessages(QStringList& messages)
{
    setMessageHandler([&messages](QWidget*, const QString& text) { messages << text; });
}

} // namespace vellox::testing
