#include "client/qt/pump_notifier.h"

#include "socket/posix_platform.h"

PumpNotifier::PumpNotifier(PosixPlatform& platform, EntryGuard guard, QObject* parent)
    : QObject(parent), m_platform(platform), m_guard(std::move(guard)),
      m_notifier(platform.PumpDescriptor(), QSocketNotifier::Read) {
    connect(&m_notifier, &QSocketNotifier::activated, this, [this] {
        if (m_guard) {
            m_guard([this] { m_platform.Pump(); });
        } else {
            m_platform.Pump();
        }
    });
}
