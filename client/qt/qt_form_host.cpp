#include "client/qt/qt_form_host.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QThread>
#include <QTime>
#include <QWidget>

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

TimeOfDay QtFormHost::Now() const {
    const QTime now = QTime::currentTime();
    return {now.hour(), now.minute(), now.second()};
}
