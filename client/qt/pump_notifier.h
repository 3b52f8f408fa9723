#pragma once

#include "client/qt/entry_guard.h"

#include <QObject>
#include <QSocketNotifier>

class MessagePump;

// Runs the socket layer's pump from the Qt event loop whenever the pump has work, inside the guard
// when there is one.
class PumpNotifier final : public QObject {
    Q_OBJECT
public:
    explicit PumpNotifier(MessagePump& pump, EntryGuard guard = {}, QObject* parent = nullptr);

private:
    MessagePump& m_pump;
    EntryGuard m_guard;
    QSocketNotifier m_notifier;
};
