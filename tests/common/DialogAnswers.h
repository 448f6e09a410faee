#pragma once

// Finding and answering the modal dialogs a test's action opens. A modal dialog runs its
// own event loop, so the answer is armed before the action and runs inside that loop.

#include <QApplication>
#include <QTimer>
#include <QWidget>

namespace vellox::testing {

// The visible top-level window of type T, or null.
template <class T> T* visibleTopLevel()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* t = qobject_cast<T*>(w); t && t->isVisible())
            return t;
    return nullptr;
}

// Rejects the next modal dialog of type T once it is shown and counts it in `seen`.
template <class T> void rejectNext(int* seen)
{
    QTimer::singleShot(0, [seen] {
        if (T* dialog = visibleTopLevel<T>()) {
            ++*seen;
            dialog->reject();
        }
    });
}

} // namespace vellox::testing
