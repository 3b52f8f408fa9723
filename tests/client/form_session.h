#pragma once

#include "client/form_main.h"
#include "socket/tcp_sock.h"
#include "socket/tcp_sock_proc.h"
#include "tests/fakes/fake_controls.h"
#include "tests/fakes/fake_platform.h"

#include <memory>
#include <string>
#include <vector>

// A loaded main window on the fake socket layer, with helpers for a session with a server.
struct FormSession {
    FormSession();
    FormSession(const FormSession&) = delete;
    FormSession& operator=(const FormSession&) = delete;

    // Presses Connect with the given host text and lets the connection complete.
    winsock::SOCKET Connect(const std::string& hostText = "localhost:6667");
    // The server sends the bytes as one arrival; the window handles it and what it sends leaves.
    void Receive(winsock::SOCKET s, const std::string& bytes);
    void PressEnter(const std::string& text);

    std::vector<std::string> Log() const { return Ctl.LoggedTexts(); }
    // The entries logged after the first `from` entries.
    std::vector<std::string> LogFrom(std::size_t from) const;
    // The main window's buttons as "Connect Join" etc.: the visible ones, in layout order.
    std::string VisibleButtons() const;

    FakePlatform Platform;
    TCPSockProc Proc{Platform};
    FakeFormControls Ctl;
    std::unique_ptr<Form_Main> Form;
};

// Shift_JIS bytes written as text, for comparing what went out.
std::string Sjis(std::initializer_list<int> bytes);
