#include "client/form_main.h"
#include "client/line_assembler.h"
#include "socket/tcp_sock.h"
#include "socket/tcp_sock_proc.h"
#include "tests/fakes/fake_controls.h"
#include "tests/fakes/fake_platform.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>
#include <vector>

// Arbitrary server bytes, in arbitrary arrivals, through the window's receive path.
//
// Input: byte 0 is the byte at which the rest is cut into arrivals; byte 1 says how the connection
// ends (even: the server closes, odd: the user disconnects) and how often each arrival is repeated
// (byte 1 / 2 + 1 times), so that lines can outgrow the longest piece the window logs.

namespace {

constexpr int LogLimit = 32768; // logged entries and the blank last entry
// A converted byte becomes at most three bytes of text; the time and the mark come in front.
constexpr std::size_t EntryLimit = 3 * LineAssembler::MaxPieceLength + 32;

struct Window {
    Window() {
        Form = std::make_unique<Form_Main>(Proc, Ctl.Controls());
        if (!Form->Form_Load()) {
            std::abort();
        }
    }

    FakePlatform Platform;
    TCPSockProc Proc{Platform};
    FakeFormControls Ctl;
    std::unique_ptr<Form_Main> Form;
};

void Check(bool holds) {
    if (!holds) {
        std::abort();
    }
}

void CheckLog(const FakeListBox& list, std::size_t& checkedAdditions) {
    Check(list.ListCount() <= LogLimit);
    Check(list.List(list.ListCount() - 1) == " ");
    const std::size_t added = list.Additions() - checkedAdditions;
    const auto& items = list.Items();
    const std::size_t fresh = std::min(added, items.size() - 1);
    for (std::size_t i = items.size() - 1 - fresh; i + 1 < items.size(); ++i) {
        Check(items[i].size() <= EntryLimit);
    }
    checkedAdditions = list.Additions();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    Window w;
    std::size_t checkedAdditions = 0;
    const std::uint8_t separator = data[0];
    const bool serverCloses = data[1] % 2 == 0;
    const int repeats = data[1] / 2 + 1;
    const std::span<const std::uint8_t> stream(data + 2, size - 2);

    w.Form->Cmd_Connect_Click();
    w.Platform.PumpAll();
    const winsock::SOCKET s = w.Platform.LastSocket();
    Check(w.Form->Winsock()->State() == TCPSock::StateConnected);

    // The same arrivals through a line assembler of their own show what the window holds back.
    LineAssembler mirror;
    const LineAssembler::LineSink ignore = [](const LineAssembler::Piece& piece) {
        Check(piece.Bytes.size() <= LineAssembler::MaxPieceLength);
    };
    std::size_t start = 0;
    while (start <= stream.size()) {
        std::size_t end = start;
        while (end < stream.size() && stream[end] != separator) {
            ++end;
        }
        const std::vector<std::uint8_t> arrival(stream.begin() + start, stream.begin() + end);
        if (!arrival.empty()) {
            for (int r = 0; r < repeats; ++r) {
                w.Platform.Arrive(s, arrival);
                w.Platform.PumpAll();
                mirror.Feed(arrival, ignore);
                Check(mirror.PendingSize() <= LineAssembler::MaxPieceLength);
            }
            CheckLog(w.Ctl.Lst_Msg, checkedAdditions);
        }
        start = end + 1;
    }

    if (serverCloses) {
        w.Platform.PeerClose(s);
        w.Platform.PumpAll();
    } else {
        w.Form->Cmd_Disconnect_Click();
    }
    CheckLog(w.Ctl.Lst_Msg, checkedAdditions);
    Check(w.Form->Winsock()->State() == TCPSock::StateClosed);
    Check(w.Ctl.Cmd_Connect.Visible() && !w.Ctl.Cmd_Disconnect.Visible());
    return 0;
}
