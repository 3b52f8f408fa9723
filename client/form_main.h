#pragma once

#include "client/command_button.h"
#include "client/form_host.h"
#include "client/label.h"
#include "client/line_assembler.h"
#include "client/list_box.h"
#include "client/longest_entry_tracker.h"
#include "client/text_box.h"
#include "socket/tcp_sock_events.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class TCPSock;
class TCPSockProc;

// The controls of the main window, by their names. The front end owns them; they outlive Form_Main.
struct FormMainControls {
    ListBox& Lst_Msg;
    TextBox& Txt_SendMsg;
    Label& Label1;
    TextBox& Txt_Host;
    TextBox& Txt_UserID;
    CommandButton& Cmd_Connect;
    TextBox& Txt_RealName;
    CommandButton& Cmd_SetUser;
    TextBox& Txt_NickName;
    CommandButton& Cmd_SetNick;
    TextBox& Txt_Ch;
    CommandButton& Cmd_Join;
    CommandButton& Cmd_Part;
    CommandButton& Cmd_Disconnect;
    FormHost& Host;
};

// The main window's behaviour: the log, the connection, the commands and the received lines.
class Form_Main : private TCPSockEvents {
public:
    Form_Main(TCPSockProc& proc, FormMainControls controls);
    ~Form_Main() override;
    Form_Main(const Form_Main&) = delete;
    Form_Main& operator=(const Form_Main&) = delete;

    // Returns false when the socket layer could not be started: the message box has been shown
    // and the host told to end the program.
    bool Form_Load();
    void Form_Unload();

    void Cmd_Connect_Click();
    void Cmd_Disconnect_Click();
    void Cmd_Join_Click();
    void Cmd_Part_Click();
    void Cmd_SetNick_Click();
    void Cmd_SetUser_Click();
    void Txt_SendMsg_KeyPress(std::int16_t& KeyAscii);

    void AddLog(const std::string& text);
    // Returns whether the line went out.
    bool SendLine(const std::string& line);

    // Runs a call that the event loop makes into the window. A failure that escapes it never
    // crosses the event loop: it is logged and the connection, in an unknown state, is closed.
    void Guard(const std::function<void()>& call) noexcept;

    void Winsock_ConnectTCP();
    void Winsock_CloseTCP();
    void Winsock_Error(std::int32_t Number);
    void Winsock_DataArrival(std::int32_t BytesTotal);

    // The window's socket object; empty before load and after unload.
    const std::shared_ptr<TCPSock>& Winsock() const { return m_Winsock; }

    // The implementation adds the fields and helpers it needs below.
private:
    void CloseTCP() override;
    void ConnectTCP() override;
    void DataArrival(std::int32_t BytesTotal) override;
    void Error(std::int32_t Number) override;

    enum class PingHandling { Answer, Ignore };

    void UpdateLogView();
    void MeasureLongestEntry();
    void CloseConnection();
    void SetDisconnectedLayout();
    void LogReceivedLine(const LineAssembler::Piece& piece, PingHandling ping);
    void AnswerPing(std::span<const std::uint8_t> line);
    // The bytes of a line that may leave; nothing when it may not, the reason logged.
    std::optional<std::vector<std::uint8_t>> LineBytes(const std::string& line);
    // Sends the bytes of a checked line with CR LF, and logs the line's text as sent.
    bool SendBytes(std::vector<std::uint8_t> bytes, std::string_view logged);
    // Sends the input line's text to the channel, in as many lines as it takes; what did not go
    // out stays in the input line.
    void SendChannelMessage(const std::string& text);
    // The text cut between characters into pieces that each fit one line after the head, with
    // room for the prefix the server puts in front when it relays the line; nothing when it
    // takes more lines than one Enter may send.
    std::optional<std::vector<std::string_view>> MessagePieces(std::string_view head,
                                                               std::string_view text) const;
    void NoteNickname(std::string_view line);

    TCPSockProc& m_proc;
    FormMainControls m_controls;
    std::shared_ptr<TCPSock> m_Winsock;

    LongestEntryTracker m_longest;
    // The entry Label1 measures now, so that an unchanged longest entry is not measured again.
    std::optional<std::uint64_t> m_measuredEntry;
    bool m_measurePending = false;
    // The UTF-8 size of each logged entry, oldest first, and their sum.
    std::deque<std::size_t> m_entrySizes;
    std::size_t m_loggedBytes = 0;

    // Before any NICK, room is left for a nickname as long as most servers allow.
    static constexpr std::size_t AssumedNicknameBytes = 30;
    // The length of the nickname last sent with NICK, in bytes.
    std::size_t m_nicknameBytes = AssumedNicknameBytes;

    LineAssembler m_received;
    // Reused for every arrival and line so that the receive path allocates only when it grows.
    std::vector<std::uint8_t> m_arrival;
    std::vector<std::uint8_t> m_sjisLine;
};
