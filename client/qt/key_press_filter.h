#pragma once

#include "client/qt/entry_guard.h"

#include <QObject>

#include <cstdint>
#include <functional>

// Hands every character typed into a widget to a handler with its code (Enter is 13; a character
// of two bytes in the ANSI code page gives both bytes, the lead byte high), before the widget
// sees it. The event is never consumed: the key still reaches the widget. The filter is removed
// when it is destroyed. The handler and the conversion before it run inside the guard.
class KeyPressFilter final : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<void(std::int16_t& KeyAscii)>;

    KeyPressFilter(QObject& watched, Handler handler, EntryGuard guard);

    static std::int16_t KeyAsciiOf(char32_t character);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Deliver(const QString& text);

    Handler m_handler;
    EntryGuard m_guard;
};
