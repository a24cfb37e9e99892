// The keys that open a context menu from the keyboard: the Menu key and
// Shift+F10. Not every platform turns them into a context-menu event (the
// X11 one does so for the Menu key only, and some none), so the log and the
// list turn them into one themselves.
#pragma once

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QWidget>

namespace corvala::ui {

inline bool IsContextMenuKey(const QKeyEvent& event) {
    const Qt::KeyboardModifiers modifiers = event.modifiers() & ~Qt::KeypadModifier;
    return (event.key() == Qt::Key_Menu && modifiers == Qt::NoModifier) ||
           (event.key() == Qt::Key_F10 && modifiers == Qt::ShiftModifier);
}

// Sends `widget` a keyboard context-menu event when `event` is such a key
// (the widget then puts its menu at its caret or current item); true when
// it did, and the key is used up.
inline bool OpenContextMenuByKey(QWidget& widget, QKeyEvent& event) {
    if (!IsContextMenuKey(event)) return false;
    QContextMenuEvent menu(QContextMenuEvent::Keyboard, QPoint(), QPoint(), event.modifiers());
    QCoreApplication::sendEvent(&widget, &menu);
    event.accept();
    return true;
}

}  // namespace corvala::ui
