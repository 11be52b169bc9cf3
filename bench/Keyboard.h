#pragma once
// Keys typed into a widget as the keyboard delivers them, each followed by every event it
// leaves (the repaint included).

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

namespace bench {

inline void sendKey(QWidget* edit, int key, const QString& text)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(edit, &press);
    QApplication::sendEvent(edit, &release);
    QCoreApplication::processEvents();
}

// A lower-case letter or a space.
inline void typeKey(QWidget* edit, QChar c)
{
    sendKey(edit, c == u' ' ? int(Qt::Key_Space) : int(Qt::Key_A) + (c.unicode() - u'a'), QString(c));
}

inline void eraseKey(QWidget* edit)
{
    sendKey(edit, Qt::Key_Backspace, QString());
}

}  // namespace bench
