#include "client/form_main.h"

#include "client/form_constants.h"
#include "client/form_texts.h"
#include "encoding/ansi_code_page.h"
#include "encoding/jis2sjis.h"
#include "encoding/text_scan.h"
#include "socket/tcp_sock.h"
#include "socket/tcp_sock_proc.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <exception>
#include <string_view>

using namespace FormTexts;

namespace {

// The log's memory is bounded too: entries of the longest lines a server may send would otherwise
// take gigabytes before the entry limit is reached.
constexpr std::size_t MaxLoggedBytes = 32 * 1024 * 1024;
constexpr double ExtentMargin = 16.0;
constexpr std::int32_t DefaultPort = 6667;
constexpr std::int32_t MaxPort = 65535;

// An IRC line holds at most 512 bytes with its CR LF; a server drops a client that sends more.
constexpr std::size_t MaxLineBytes = 510;
// What a server puts in front of a line it relays to a channel, besides the nickname: ":", "!", a
// user name of up to 10 bytes, "@", a host name of up to 63 bytes and a space.
constexpr std::size_t RelayPrefixBytes = 1 + 1 + 10 + 1 + 63 + 1;
// No timer paces a burst, and a server drops a client that floods it.
constexpr std::size_t MaxMessageLines = 4;

// What the host box asks for: "host", "host:port", "host:+port" (encrypted) or
// "host:+port#FINGERPRINT" (encrypted, accepting only that certificate).
struct HostSetting {
    std::string host;
    std::int32_t port = DefaultPort;
    bool encrypted = false;
    std::optional<winsock::CertificateFingerprint> pinned;
};

// A server that has stopped reading must not make the window queue without end.
constexpr std::int32_t MaxWaitingSendBytes = 16 * 1024 * 1024;

std::string Concat(std::string_view a, std::string_view b) {
    std::string s;
    s.reserve(a.size() + b.size());
    s.append(a);
    s.append(b);
    return s;
}

void AppendTwoDigits(std::string& s, int value) {
    value = std::clamp(value, 0, 99);
    s += static_cast<char>('0' + value / 10);
    s += static_cast<char>('0' + value % 10);
}

// A port text is a run of decimal digits naming a port from 1 to 65535.
std::optional<std::int32_t> ParsePort(std::string_view text) {
    std::int32_t port = 0;
    const char* const end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, port);
    if (text.empty() || error != std::errc() || stop != end || port < 1 || port > MaxPort) {
        return std::nullopt;
    }
    return port;
}

// A SHA-256 fingerprint as openssl prints it: 64 hexadecimal digits, colons and case free.
std::optional<winsock::CertificateFingerprint> ParseFingerprint(std::string_view text) {
    std::string digits;
    for (const char c : text) {
        if (c != ':') {
            digits += c;
        }
    }
    winsock::CertificateFingerprint fingerprint{};
    if (digits.size() != 2 * fingerprint.size()) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < fingerprint.size(); ++i) {
        const char* const first = digits.data() + 2 * i;
        const auto [stop, error] = std::from_chars(first, first + 2, fingerprint[i], 16);
        if (error != std::errc() || stop != first + 2) {
            return std::nullopt;
        }
    }
    return fingerprint;
}

std::string FingerprintText(const winsock::CertificateFingerprint& fingerprint) {
    constexpr std::string_view Digits = "0123456789ABCDEF";
    std::string text;
    for (const std::uint8_t byte : fingerprint) {
        if (!text.empty()) {
            text += ':';
        }
        text += Digits[byte >> 4];
        text += Digits[byte & 0x0F];
    }
    return text;
}

// The host box's setting; empty, with the text that says why, when the box holds no valid one.
std::optional<HostSetting> ParseHostBox(const std::string& hostText, std::string_view& refusal) {
    const std::size_t colon = hostText.find(':');
    HostSetting setting;
    setting.host = hostText.substr(0, colon);
    if (colon == std::string::npos) {
        return setting;
    }
    std::string_view portText = std::string_view(hostText).substr(colon + 1);
    // A "+" in front of the port asks for encryption.
    if (portText.starts_with('+')) {
        portText.remove_prefix(1);
        setting.encrypted = true;
        const std::size_t hash = portText.find('#');
        if (hash != std::string_view::npos) {
            setting.pinned = ParseFingerprint(portText.substr(hash + 1));
            portText = portText.substr(0, hash);
            if (!setting.pinned) {
                refusal = TextBadFingerprint;
                return std::nullopt;
            }
        }
    }
    const auto port = ParsePort(portText);
    if (!port) {
        refusal = TextBadPort;
        return std::nullopt;
    }
    setting.port = *port;
    return setting;
}

bool IsCertificateRefusal(std::int32_t Number) {
    return Number >= winsock::ErrorTlsHandshake && Number <= winsock::ErrorTlsPinMismatch;
}

// Whether a Connect failed looking the host's name up.
bool IsLookupError(std::int32_t number) {
    return number >= winsock::WSAHOST_NOT_FOUND && number <= winsock::WSANO_DATA;
}

// The nickname a NICK line names; empty for any other line. Commands take any case.
std::string_view NicknameOf(std::string_view line) {
    constexpr std::string_view Nick = "NICK ";
    const auto sameLetter = [](char a, char b) {
        return (a >= 'a' && a <= 'z' ? static_cast<char>(a - 'a' + 'A') : a) == b;
    };
    if (line.size() < Nick.size() ||
        !std::equal(Nick.begin(), Nick.end(), line.begin(), sameLetter)) {
        return {};
    }
    std::string_view nickname = line.substr(Nick.size());
    nickname.remove_prefix(std::min(nickname.find_first_not_of(' '), nickname.size()));
    if (nickname.starts_with(':')) {
        return nickname.substr(1);
    }
    return nickname.substr(0, nickname.find(' '));
}

bool HasLineBreak(std::string_view line) {
    return line.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

// Where the argument of a PING command starts: right after the command word. Only the command
// word counts; the command follows a ":prefix" word when there is one.
std::optional<std::size_t> PingArgument(std::string_view line) {
    std::size_t command = 0;
    if (!line.empty() && line.front() == ':') {
        command = line.find(' ');
        if (command == std::string_view::npos) {
            return std::nullopt;
        }
        command = line.find_first_not_of(' ', command);
        if (command == std::string_view::npos) {
            return std::nullopt;
        }
    }
    constexpr std::string_view Ping = "PING";
    const std::string_view rest = line.substr(command);
    if (!rest.starts_with(Ping) || (rest.size() > Ping.size() && rest[Ping.size()] != ' ')) {
        return std::nullopt;
    }
    return command + Ping.size();
}

} // namespace

Form_Main::Form_Main(TCPSockProc& proc, FormMainControls controls)
    : m_proc(proc), m_controls(controls) {}

Form_Main::~Form_Main() {
    // The socket may outlive the window in the socket list; it must not call back into it.
    if (m_Winsock) {
        m_Winsock->SetEvents(nullptr);
        m_Winsock->CloseTCP();
    }
}

bool Form_Main::Form_Load() {
    if (!m_proc.StartUpWindow()) {
        m_controls.Host.MsgBox(std::string(TextStartUpFailed));
        m_controls.Host.End();
        return false;
    }
    m_Winsock = std::make_shared<TCPSock>(m_proc);
    m_Winsock->SetEvents(this);
    m_controls.Label1.SetFont(m_controls.Lst_Msg.Font());
    m_measuredEntry.reset(); // a new font measures differently
    return true;
}

void Form_Main::Form_Unload() {
    if (!m_Winsock) {
        return;
    }
    m_Winsock->CloseTCP();
    m_Winsock->SetEvents(nullptr);
    m_Winsock.reset();
    m_proc.CleanUpWindow();
    m_controls.Host.End();
}

void Form_Main::AddLog(const std::string& text) {
    const TimeOfDay now = m_controls.Host.Now();
    std::string entry;
    entry.reserve(9 + text.size());
    AppendTwoDigits(entry, now.Hour);
    entry += ':';
    AppendTwoDigits(entry, now.Minute);
    entry += ':';
    AppendTwoDigits(entry, now.Second);
    entry += ' ';
    entry += text;

    ListBox& list = m_controls.Lst_Msg;
    while (!m_entrySizes.empty() && (m_entrySizes.size() >= MaxLoggedEntries ||
                                     m_loggedBytes + entry.size() > MaxLoggedBytes)) {
        list.RemoveItem(0);
        m_longest.RemoveOldest();
        m_loggedBytes -= m_entrySizes.front();
        m_entrySizes.pop_front();
    }
    m_longest.Add(AnsiCodePage::ByteLength(entry));
    m_entrySizes.push_back(entry.size());
    m_loggedBytes += entry.size();
    list.AddItem(entry, list.ListCount() - 1);
    UpdateLogView();
}

void Form_Main::UpdateLogView() {
    // Measuring lays out the longest entry's text, the costliest step of an entry; a burst of
    // entries in one turn gets the longest entry's width once, at the turn's end.
    if (!m_measurePending && m_measuredEntry != m_longest.LongestSequence()) {
        m_measurePending = true;
        // The host runs this outside any guarded call, so it guards itself.
        m_controls.Host.AtEndOfTurn([this] { Guard([this] { MeasureLongestEntry(); }); });
    }
    ListBox& list = m_controls.Lst_Msg;
    list.SetListIndex(list.ListCount() - 1);
    list.SetListIndex(-1);
}

void Form_Main::MeasureLongestEntry() {
    m_measurePending = false;
    const std::uint64_t longest = m_longest.LongestSequence();
    if (m_measuredEntry == longest) {
        return;
    }
    ListBox& list = m_controls.Lst_Msg;
    Label& label = m_controls.Label1;
    label.SetCaption(list.List(static_cast<int>(m_longest.LongestIndex())) + " ");
    list.SetHorizontalExtent(static_cast<int>(std::lround(label.Width() + ExtentMargin)));
    m_measuredEntry = longest;
}

void Form_Main::Cmd_Connect_Click() {
    std::string_view refusal;
    const std::optional<HostSetting> setting = ParseHostBox(m_controls.Txt_Host.Text(), refusal);
    if (!setting) {
        AddLog(std::string(refusal));
        return;
    }
    m_received.Reset();
    if (m_Winsock) {
        m_Winsock->RemoteHost(setting->host);
        m_Winsock->RemotePort(setting->port);
        m_Winsock->Encrypted(setting->encrypted, setting->pinned);
    }
    if (!m_Winsock || !m_Winsock->Connect()) {
        const bool unresolved = m_Winsock && IsLookupError(m_Winsock->GetLastError());
        CloseConnection();
        AddLog(std::string(unresolved ? TextHostNotFound : TextCannotConnect));
    }
}

void Form_Main::Cmd_Disconnect_Click() {
    CloseConnection();
    AddLog(std::string(TextDisconnected));
}

void Form_Main::Cmd_Join_Click() {
    if (SendLine("JOIN " + m_controls.Txt_Ch.Text())) {
        m_controls.Cmd_Join.SetVisible(false);
        m_controls.Cmd_Part.SetVisible(true);
    }
}

void Form_Main::Cmd_Part_Click() {
    if (SendLine("PART " + m_controls.Txt_Ch.Text())) {
        m_controls.Cmd_Join.SetVisible(true);
        m_controls.Cmd_Part.SetVisible(false);
    }
}

void Form_Main::Cmd_SetNick_Click() {
    SendLine("NICK " + m_controls.Txt_NickName.Text());
}

void Form_Main::Cmd_SetUser_Click() {
    SendLine("USER " + m_controls.Txt_UserID.Text() + " * * :" + m_controls.Txt_RealName.Text());
}

void Form_Main::Txt_SendMsg_KeyPress(std::int16_t& KeyAscii) {
    if (KeyAscii != KeyEnter) {
        return;
    }
    const std::string text = m_controls.Txt_SendMsg.Text();
    if (text.empty()) {
        return;
    }
    if (!text.starts_with('/')) {
        SendChannelMessage(text);
    } else if (SendLine(text.substr(1))) {
        m_controls.Txt_SendMsg.SetText("");
    }
}

void Form_Main::SendChannelMessage(const std::string& text) {
    const std::string head = "PRIVMSG " + m_controls.Txt_Ch.Text() + " :";
    // The whole message is checked first, so that no piece leaves of one that cannot.
    if (!LineBytes(head + text)) {
        return;
    }
    const std::optional<std::vector<std::string_view>> pieces = MessagePieces(head, text);
    if (!pieces) {
        AddLog(std::string(TextLineTooLong));
        return;
    }
    for (const std::string_view piece : *pieces) {
        if (!SendLine(head + std::string(piece))) {
            if (piece.data() != text.data()) {
                m_controls.Txt_SendMsg.SetText(text.substr(piece.data() - text.data()));
            }
            return;
        }
    }
    m_controls.Txt_SendMsg.SetText("");
}

std::optional<std::vector<std::string_view>> Form_Main::MessagePieces(std::string_view head,
                                                                      std::string_view text) const {
    const std::size_t taken = m_nicknameBytes + RelayPrefixBytes + AnsiCodePage::ByteLength(head);
    // Each piece must hold at least one two-byte character.
    if (taken + 2 > MaxLineBytes) {
        return std::nullopt;
    }
    const std::size_t room = MaxLineBytes - taken;
    std::vector<std::string_view> pieces;
    std::size_t start = 0;
    std::size_t bytes = 0;
    const auto* data = reinterpret_cast<const std::uint8_t*>(text.data());
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = text_scan::ReadUtf8(data + i, text.size() - i).length;
        const std::size_t width = AnsiCodePage::ByteLength(text.substr(i, length));
        if (bytes + width > room) {
            pieces.push_back(text.substr(start, i - start));
            if (pieces.size() == MaxMessageLines) {
                return std::nullopt;
            }
            start = i;
            bytes = 0;
        }
        bytes += width;
        i += length;
    }
    pieces.push_back(text.substr(start));
    return pieces;
}

bool Form_Main::SendLine(const std::string& line) {
    std::optional<std::vector<std::uint8_t>> bytes = LineBytes(line);
    if (!bytes || !SendBytes(std::move(*bytes), line)) {
        return false;
    }
    NoteNickname(line);
    return true;
}

std::optional<std::vector<std::uint8_t>> Form_Main::LineBytes(const std::string& line) {
    // A line end inside the line would let a box's text smuggle in further commands.
    if (HasLineBreak(line)) {
        AddLog(std::string(TextLineBreakInLine));
        return std::nullopt;
    }
    // The log must not show a line other than the one that leaves.
    std::optional<std::vector<std::uint8_t>> bytes = AnsiCodePage::ToBytesExactly(line);
    if (!bytes) {
        AddLog(std::string(TextUnsendable));
    }
    return bytes;
}

void Form_Main::NoteNickname(std::string_view line) {
    const std::string_view nickname = NicknameOf(line);
    if (!nickname.empty()) {
        m_nicknameBytes = AnsiCodePage::ByteLength(nickname);
    }
}

bool Form_Main::SendBytes(std::vector<std::uint8_t> bytes, std::string_view logged) {
    if (bytes.size() > MaxLineBytes) {
        AddLog(std::string(TextLineTooLong));
        return false;
    }
    if (!m_Winsock || m_Winsock->State() != TCPSock::StateConnected) {
        AddLog(std::string(TextNotConnected));
        return false;
    }
    if (m_Winsock->BytesRemaining() > MaxWaitingSendBytes) {
        AddLog(std::string(TextSendQueueFull));
        return false;
    }
    bytes.push_back('\r');
    bytes.push_back('\n');
    if (!m_Winsock->SendBinaryData(bytes)) {
        AddLog(std::string(TextNotConnected));
        return false;
    }
    AddLog(Concat(SendMark, logged));
    return true;
}

void Form_Main::Guard(const std::function<void()>& call) noexcept {
    std::string what;
    try {
        call();
        return;
    } catch (const std::exception& e) {
        what = e.what();
    } catch (...) {
        what = TextUnknownFailure;
    }
    // The window may be in any state now; a connection in an unknown state is given up. Should
    // the log or the controls fail again, the program still goes on.
    try {
        AddLog(Concat(TextErrorPrefix, what));
    } catch (...) {
    }
    try {
        CloseConnection();
    } catch (...) {
    }
}

void Form_Main::CloseConnection() {
    if (m_Winsock) {
        m_Winsock->CloseTCP();
    }
    SetDisconnectedLayout();
}

void Form_Main::SetDisconnectedLayout() {
    m_controls.Cmd_Connect.SetVisible(true);
    m_controls.Cmd_Disconnect.SetVisible(false);
    m_controls.Cmd_Join.SetVisible(true);
    m_controls.Cmd_Part.SetVisible(false);
}

void Form_Main::Winsock_ConnectTCP() {
    AddLog(Concat(m_controls.Txt_Host.Text(), TextConnected));
    if (m_Winsock && m_Winsock->Encrypted()) {
        const winsock::TlsStatus status = m_Winsock->Encryption();
        std::string entry = status.protocol;
        entry += TextEncryptedBefore;
        entry += status.certificate ? FingerprintText(*status.certificate) : std::string();
        entry += TextEncryptedAfter;
        AddLog(entry);
    }
    m_controls.Cmd_Connect.SetVisible(false);
    m_controls.Cmd_Disconnect.SetVisible(true);
}

void Form_Main::Winsock_CloseTCP() {
    // The server's last words may lack a line end; they are shown, but no longer answered.
    m_received.Finish([this](const LineAssembler::Piece& piece) {
        LogReceivedLine(piece, PingHandling::Ignore);
    });
    if (m_Winsock) {
        m_Winsock->CloseTCP();
    }
    AddLog(std::string(TextClosedByServer));
    SetDisconnectedLayout();
}

void Form_Main::Winsock_Error(std::int32_t Number) {
    switch (Number) {
    case winsock::WSAEINTR:
    case winsock::WSATRY_AGAIN:
        return;
    case winsock::WSAECONNREFUSED:
        AddLog(std::string(TextCannotConnect));
        break;
    case winsock::WSAHOST_NOT_FOUND:
        AddLog(std::string(TextHostNotFound));
        break;
    default:
        AddLog(Concat(TextErrorPrefix, TCPSockProc::GetErrorText(Number)));
        break;
    }
    // The certificate the server showed, so that the user can check it and pin it.
    if (m_Winsock && IsCertificateRefusal(Number)) {
        if (const auto certificate = m_Winsock->Encryption().certificate) {
            AddLog(std::string(TextServerCertificate) + FingerprintText(*certificate) +
                   std::string(TextServerCertificateAfter));
        }
    }
    CloseConnection();
}

void Form_Main::Winsock_DataArrival(std::int32_t BytesTotal) {
    // A negative count would make the socket throw into the event loop.
    if (!m_Winsock || BytesTotal < 0) {
        return;
    }
    // The buffer keeps what it held when a read fails; those bytes were fed already.
    if (m_Winsock->GetBinaryData(m_arrival, BytesTotal) != BytesTotal) {
        return;
    }
    m_received.Feed(m_arrival, [this](const LineAssembler::Piece& piece) {
        LogReceivedLine(piece, PingHandling::Answer);
    });
}

void Form_Main::LogReceivedLine(const LineAssembler::Piece& piece, PingHandling ping) {
    // Every line is converted on its own, from single-byte mode, so that a damaged line cannot
    // garble the ones after it; a piece of a longer line goes on in its line's mode. The converter
    // takes no empty source; an empty line is just empty.
    std::string text;
    if (!piece.Bytes.empty()) {
        JisMode mode = piece.Mode;
        text = JIS2SJIS(piece.Bytes, m_sjisLine, mode) != 0 ? AnsiCodePage::ToText(m_sjisLine)
                                                            : std::string(TextConversionFailed);
    }
    AddLog(Concat(RecvMark, text));
    // A piece of an overlong line is no valid command and is not answered.
    if (ping == PingHandling::Answer && piece.Whole) {
        AnswerPing(piece.Bytes);
    }
}

void Form_Main::AnswerPing(std::span<const std::uint8_t> line) {
    const std::string_view bytes(reinterpret_cast<const char*>(line.data()), line.size());
    const std::optional<std::size_t> argument = PingArgument(bytes);
    if (!argument) {
        return;
    }
    // The server's token goes back byte for byte: one that does not survive the conversion to
    // text and back would otherwise come back altered, and the server would drop the client.
    constexpr std::string_view Pong = "PONG";
    const std::span<const std::uint8_t> token = line.subspan(*argument);
    std::vector<std::uint8_t> answer(Pong.begin(), Pong.end());
    answer.insert(answer.end(), token.begin(), token.end());
    std::string logged(Pong);
    if (!token.empty()) {
        JisMode mode = JisMode::SingleByte;
        JIS2SJIS(token, m_sjisLine, mode);
        logged += AnsiCodePage::ToText(m_sjisLine);
    }
    if (HasLineBreak(bytes.substr(*argument))) {
        AddLog(std::string(TextLineBreakInLine));
        return;
    }
    SendBytes(std::move(answer), logged);
}

// The socket raises its events from inside a window procedure, which no exception may leave.
void Form_Main::CloseTCP() {
    Guard([this] { Winsock_CloseTCP(); });
}

void Form_Main::ConnectTCP() {
    Guard([this] { Winsock_ConnectTCP(); });
}

void Form_Main::DataArrival(std::int32_t BytesTotal) {
    Guard([this, BytesTotal] { Winsock_DataArrival(BytesTotal); });
}

void Form_Main::Error(std::int32_t Number) {
    Guard([this, Number] { Winsock_Error(Number); });
}
