#include "client/qt/pump_notifier.h"

#include "socket/message_pump.h"

PumpNotifier::PumpNotifier(MessagePump& pump, EntryGuard guard, QObject* parent)
    : QObject(parent), m_pump(pump), m_guard(std::move(guard)),
      m_notifier(pump.PumpDescriptor(), QSocketNotifier::Read) {
    connect(&m_notifier, &QSocketNotifier::activated, this, [this] {
        if (m_guard) {
            m_guard([this] { m_pump.Pump(); });
        } else {
            m_pump.Pump();
        }
    });
}
