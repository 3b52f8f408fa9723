#include "tests/e2e/qt_window_driver.h"

#include "client/qt/log_view.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

namespace {

// One application object serves every window of the test program. It is destroyed when the tests
// are over, before the program's static objects, which Qt's own clean-up still uses.
class QtApplicationEnvironment final : public ::testing::Environment {
public:
    void TearDown() override { Application().reset(); }

    static std::unique_ptr<QApplication>& Application() {
        static std::unique_ptr<QApplication> application;
        return application;
    }
};

[[maybe_unused]] ::testing::Environment* const Environment =
    ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);

void EnsureApplication() {
    auto& application = QtApplicationEnvironment::Application();
    if (application) {
        return;
    }
    // The tests never need a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    static int argc = 1;
    static char name[] = "e2e_tests";
    static char* argv[] = {name, nullptr};
    application = std::make_unique<QApplication>(argc, argv);
}

} // namespace

// The application must exist before the pump's notifier, the first Qt object here.
QtWindowDriver::QtWindowDriver()
    : m_proc((EnsureApplication(), m_platform)), m_pump(m_platform),
      m_window(std::make_unique<MainWindow>(m_proc)) {
    if (!m_window->Load()) {
        throw std::runtime_error("the window did not load");
    }
    m_window->show();
}

std::unique_ptr<WindowDriver> WindowDriver::Make() {
    return std::make_unique<QtWindowDriver>();
}

QtWindowDriver::~QtWindowDriver() {
    m_window.reset();
}

QLineEdit& QtWindowDriver::Box(std::string_view name) const {
    auto* box = qobject_cast<QLineEdit*>(m_window->Control(name));
    if (box == nullptr) {
        throw std::invalid_argument("no text box named " + std::string(name));
    }
    return *box;
}

QPushButton& QtWindowDriver::Button(std::string_view name) const {
    auto* button = qobject_cast<QPushButton*>(m_window->Control(name));
    if (button == nullptr) {
        throw std::invalid_argument("no button named " + std::string(name));
    }
    return *button;
}

void QtWindowDriver::SetText(std::string_view box, const std::string& text) {
    Box(box).setText(QString::fromStdString(text));
}

void QtWindowDriver::Type(std::string_view box, const std::string& text) {
    QLineEdit& edit = Box(box);
    edit.setFocus();
    edit.end(false);
    for (const char32_t character : QString::fromStdString(text).toUcs4()) {
        if (character < 0x80) {
            QTest::keyClick(&edit, static_cast<char>(character));
            continue;
        }
        // A character no key names arrives as an input method would deliver it: a key event
        // that carries only its text.
        const QString typed = QString::fromUcs4(&character, 1);
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, typed);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, typed);
        QApplication::sendEvent(&edit, &press);
        QApplication::sendEvent(&edit, &release);
    }
}

std::string QtWindowDriver::Text(std::string_view box) const {
    return Box(box).text().toStdString();
}

void QtWindowDriver::Click(std::string_view button) {
    // A real click, and as on screen, a hidden button takes none.
    QPushButton& target = Button(button);
    if (!target.isHidden()) {
        QTest::mouseClick(&target, Qt::LeftButton);
    }
}

bool QtWindowDriver::Visible(std::string_view button) const {
    return !Button(button).isHidden();
}

void QtWindowDriver::PressEnter() {
    QTest::keyClick(&Box("Txt_SendMsg"), Qt::Key_Return);
}

std::vector<std::string> QtWindowDriver::Entries() const {
    const LogModel& model = m_window->Log().Model();
    std::vector<std::string> entries;
    entries.reserve(static_cast<std::size_t>(model.rowCount()));
    for (int row = 0; row < model.rowCount(); ++row) {
        entries.push_back(model.Entry(row).toStdString());
    }
    return entries;
}

void QtWindowDriver::Turn(std::chrono::milliseconds atMost) {
    // The timer bounds the wait when nothing else happens.
    QTimer timer;
    timer.setSingleShot(true);
    timer.start(atMost);
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}
