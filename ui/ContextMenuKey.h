// The keys that open a context menu from the keyboard: the Menu key and
// Shift+F10. Not every platform turns them into a context-menu event (the
// X11 one does so for the Menu key only, and some none), so the log and the
// list turn them into one themselves.
#pragma once

#include <QKeyEvent>

namespace corvala::ui {

inline bool IsContextMenuKey(const QKeyEvent& event) {
    const Qt::KeyboardModifiers modifiers = event.modifiers() & ~Qt::KeypadModifier;
    return (event.key() == Qt::Key_Menu && modifiers == Qt::NoModifier) ||
           (event.key() == Qt::Key_F10 && modifiers == Qt::ShiftModifier);
}

}  // namespace corvala::ui
