#pragma once

#include "client/control_factory.h"
#include "client/form_host.h"
#include "client/form_main.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TCPSockProc;

// What both main windows share: the controls made from the layout table in tab order, Form_Main
// joined to them, the clicks by control name, the load and unload sequence, and the guard around
// every call the event loop makes. A front end keeps only what its toolkit needs.
class FormShell {
public:
    FormShell(TCPSockProc& proc, ControlFactory& factory, FormHost& host);
    // A window destroyed without being closed still gives up its socket before the socket layer
    // is cleaned up.
    ~FormShell();
    FormShell(const FormShell&) = delete;
    FormShell& operator=(const FormShell&) = delete;

    // Runs the window's load step; false when the socket layer could not be started (the user has
    // seen the message box by then and the program is to end).
    bool Load();
    // The window closes: after a load, the unload step runs once.
    void Close();
    // Runs the click handler of the named button; nothing for a name without one.
    void Click(std::string_view name);
    // Runs a call from the event loop into the window: a failure is logged there, never thrown.
    void Guarded(const std::function<void()>& call) { m_form->Guard(call); }
    Form_Main& Form() { return *m_form; }

    static int Pixels(int twips);
    // Every control of the layout table, in the order Tab moves through them.
    static std::vector<const ControlSpec*> InTabOrder();

    using ShowFailure = std::function<void(std::string_view text, std::string_view detail)>;
    // Runs start, which makes everything the window runs on before the event loop starts, so
    // that a failure to start is told as one: show gets the start-up failure text and the
    // failure's own words. Returns whether the program goes on to its event loop.
    static bool Start(const std::function<bool()>& start, const ShowFailure& show);

private:
    std::map<std::string, TextBox*, std::less<>> m_textBoxes;
    std::map<std::string, CommandButton*, std::less<>> m_buttons;
    std::unique_ptr<Form_Main> m_form;
    bool m_loaded = false;
};
