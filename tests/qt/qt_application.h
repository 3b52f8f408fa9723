#pragma once

#include <QApplication>
#include <QString>
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <ostream>

QT_BEGIN_NAMESPACE
// Failures show texts as text.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

// One QApplication for the whole test program, on the offscreen platform unless told otherwise.
class QtApplicationEnvironment final : public ::testing::Environment {
public:
    void SetUp() override {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        m_app = std::make_unique<QApplication>(m_argc, m_argv);
    }
    void TearDown() override { m_app.reset(); }

private:
    int m_argc = 1;
    char m_name[8] = "qt_test";
    char* m_argv[2] = {m_name, nullptr};
    std::unique_ptr<QApplication> m_app;
};

inline ::testing::Environment* const QtApplicationRegistration =
    ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);
