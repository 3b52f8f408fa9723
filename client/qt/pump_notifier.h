#pragma once

#include <QObject>
#include <QSocketNotifier>

class PosixPlatform;

// Runs the socket layer's pump from the Qt event loop whenever the pump has work.
class PumpNotifier final : public QObject {
    Q_OBJECT
public:
    explicit PumpNotifier(PosixPlatform& platform, QObject* parent = nullptr);

private:
    PosixPlatform& m_platform;
    QSocketNotifier m_notifier;
};
