#pragma once

#include "client/form_main.h"
#include "client/qt/command_button.h"
#include "client/qt/form_host.h"
#include "client/qt/key_press_filter.h"
#include "client/qt/label.h"
#include "client/qt/list_box.h"
#include "client/qt/text_box.h"

#include <QWidget>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

class LogView;
class QLabel;
class QLineEdit;
class QPushButton;
class TCPSockProc;

// The main window "Hoshiwa": its controls built from the layout table, the adapters through which
// Form_Main reaches them, and the clicks, keys and close that drive Form_Main.
class MainWindow final : public QWidget {
    Q_OBJECT
public:
    explicit MainWindow(TCPSockProc& proc, QWidget* parent = nullptr);
    ~MainWindow() override;
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // Runs the window's load step; false when the socket layer could not be started (the user has
    // seen the message box by then and the program is to end).
    bool Load();

    Form_Main& Form() { return *m_form; }
    // Runs a call from Qt into the window: a failure is logged there instead of crossing Qt.
    void Guarded(const std::function<void()>& call) { m_form->Guard(call); }
    // A control by its name in the layout table; null for an unknown name.
    QWidget* Control(std::string_view name) const;
    LogView& Log() const { return *m_log; }

    // The family that "ＭＳ Ｐゴシック" falls back to where it is missing: the first Japanese font
    // found. Installed once per process.
    static void InstallTextBoxFontSubstitutes();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildControls();
    void SetTabOrder();
    void Unload();
    template <typename T> T& ControlOf(std::string_view name) const;

    std::map<std::string, QWidget*, std::less<>> m_controls; // owned by this widget
    LogView* m_log = nullptr;
    QtFormHost m_host;
    std::unique_ptr<QtListBox> m_Lst_Msg;
    std::unique_ptr<QtLabel> m_Label1;
    std::map<std::string, std::unique_ptr<QtTextBox>, std::less<>> m_textBoxes;
    std::map<std::string, std::unique_ptr<QtCommandButton>, std::less<>> m_buttons;
    std::unique_ptr<Form_Main> m_form;
    std::unique_ptr<KeyPressFilter> m_sendMsgKeys;
    bool m_loaded = false;
};
