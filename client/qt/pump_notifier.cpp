#include "client/qt/pump_notifier.h"

#include "socket/posix_platform.h"

PumpNotifier::PumpNotifier(PosixPlatform& platform, QObject* parent)
    : QObject(parent), m_platform(platform),
      m_notifier(platform.PumpDescriptor(), QSocketNotifier::Read) {
    connect(&m_notifier, &QSocketNotifier::activated, this, [this] { m_platform.Pump(); });
}
