#pragma once

#include "client/control_factory.h"
#include "client/form_shell.h"
#include "client/qt/command_button.h"
#include "client/qt/form_host.h"
#include "client/qt/key_press_filter.h"
#include "client/qt/label.h"
#include "client/qt/list_box.h"
#include "client/qt/text_box.h"

#include <QFont>
#include <QWidget>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class LogView;
class QLabel;
class QLineEdit;
class QPushButton;
class TCPSockProc;

// The main window "Hoshiwa" in Qt's widgets: the shell makes its controls through this window and
// drives Form_Main; the window wires Qt's clicks, keys and close to it.
class MainWindow final : public QWidget, private ControlFactory {
    Q_OBJECT
public:
    explicit MainWindow(TCPSockProc& proc, QWidget* parent = nullptr);
    ~MainWindow() override;
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // Runs the window's load step; false when the socket layer could not be started (the user has
    // seen the message box by then and the program is to end).
    bool Load() { return m_shell->Load(); }

    Form_Main& Form() { return m_shell->Form(); }
    // Runs a call from Qt into the window: a failure is logged there instead of crossing Qt.
    void Guarded(const std::function<void()>& call) { m_shell->Guarded(call); }
    // A control by its name in the layout table; null for an unknown name.
    QWidget* Control(std::string_view name) const;
    LogView& Log() const { return *m_log; }

    // The family that "ＭＳ Ｐゴシック" falls back to where it is missing: the first Japanese font
    // found. Installed once per process.
    static void InstallTextBoxFontSubstitutes();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    ListBox& MakeListBox(const ControlSpec& control, const PixelRect& place) override;
    TextBox& MakeTextBox(const ControlSpec& control, const PixelRect& place) override;
    Label& MakeLabel(const ControlSpec& control, const PixelRect& place) override;
    CommandButton& MakeCommandButton(const ControlSpec& control, const PixelRect& place) override;
    void Place(QWidget& widget, const ControlSpec& control, const PixelRect& place);
    void SetTabOrder();
    template <typename T> T& ControlOf(std::string_view name) const;

    std::map<std::string, QWidget*, std::less<>> m_controls; // owned by this widget
    LogView* m_log = nullptr;
    QtFormHost m_host;
    std::unique_ptr<QtListBox> m_Lst_Msg;
    std::unique_ptr<QtLabel> m_Label1;
    std::vector<std::unique_ptr<QtTextBox>> m_textBoxes;
    std::vector<std::unique_ptr<QtCommandButton>> m_buttons;
    QFont m_textBoxFont;
    // Made last and gone first: Form_Main goes before the controls it reaches.
    std::unique_ptr<FormShell> m_shell;
    std::unique_ptr<KeyPressFilter> m_sendMsgKeys;
};
