#include "client/qt/form_host.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QThread>
#include <QWidget>

#include <ctime>

void QtFormHost::MsgBox(const std::string& text) {
    QMessageBox box(QMessageBox::NoIcon, m_window.windowTitle(), QString::fromStdString(text),
                    QMessageBox::Ok, &m_window);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

void QtFormHost::End() {
    // Asking to quit while no loop runs would make every later loop, a message box's included,
    // return at once.
    if (QThread::currentThread()->loopLevel() > 0) {
        QCoreApplication::exit(0);
    }
}

void QtFormHost::AtEndOfTurn(std::function<void()> work) {
    // A posted call goes ahead of the window's paint requests, which Qt posts at low priority;
    // it is dropped with the window.
    QMetaObject::invokeMethod(&m_window, std::move(work), Qt::QueuedConnection);
}

TimeOfDay QtFormHost::Now() const {
    // localtime_r reads the time zone once; QTime::currentTime checks /etc/localtime on every
    // call, which costs a third of the receive path during a flood.
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return {local.tm_hour, local.tm_min, local.tm_sec};
}
