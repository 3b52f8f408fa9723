#include "tests/fakes/fake_controls.h"

#include "client/form_layout.h"

#include <stdexcept>
#include <string_view>
#include <type_traits>
#include <utility>

std::string FakeTextBox::Text() const {
    if (!Failure.empty()) {
        throw std::runtime_error(Failure);
    }
    return m_Text;
}

int FakeListBox::ListCount() const {
    return static_cast<int>(m_items.size());
}

std::string FakeListBox::List(int index) const {
    return m_items.at(static_cast<std::size_t>(index));
}

void FakeListBox::AddItem(const std::string& item, int index) {
    if (index < 0 || index > ListCount()) {
        throw std::out_of_range("FakeListBox::AddItem: index out of range");
    }
    if (FailingAdditions > 0) {
        --FailingAdditions;
        throw std::runtime_error("the list takes no more entries");
    }
    m_items.insert(m_items.begin() + index, item);
    ++m_additions;
}

void FakeListBox::RemoveItem(int index) {
    if (index < 0 || index >= ListCount()) {
        throw std::out_of_range("FakeListBox::RemoveItem: index out of range");
    }
    m_items.erase(m_items.begin() + index);
}

void FakeListBox::SetListIndex(int index) {
    if (index < -1 || index >= ListCount()) {
        throw std::out_of_range("FakeListBox::SetListIndex: index out of range");
    }
    m_ListIndex = index;
    if (index >= 0) {
        m_LastSelected = index;
    }
}

void FakeLabel::SetCaption(const std::string& caption) {
    m_Caption = caption;
    ++CaptionChanges;
}

double FakeLabel::Width() const {
    std::size_t characters = 0;
    for (const char c : m_Caption) {
        // Count UTF-8 lead bytes only.
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
            ++characters;
        }
    }
    return PixelsPerCharacter * static_cast<double>(characters);
}

void FakeFormHost::AtEndOfTurn(std::function<void()> work) {
    if (TurnsEndOnDemand) {
        EndOfTurnWork.push_back(std::move(work));
    } else {
        work();
    }
}

void FakeFormHost::EndTurn() {
    const std::vector<std::function<void()>> work = std::exchange(EndOfTurnWork, {});
    for (const auto& w : work) {
        w();
    }
}

namespace {

template <typename Control> void Initialise(Control& control, std::string_view name) {
    for (const ControlSpec& entry : FormLayout::Controls) {
        if (entry.Name != name) {
            continue;
        }
        if constexpr (std::is_same_v<Control, FakeTextBox>) {
            control.SetText(std::string(entry.Caption));
        } else {
            control.SetVisible(entry.Visible);
        }
        return;
    }
    throw std::logic_error("FakeFormControls: no control named " + std::string(name));
}

} // namespace

FakeFormControls::FakeFormControls() {
    Initialise(Txt_SendMsg, "Txt_SendMsg");
    Initialise(Txt_Host, "Txt_Host");
    Initialise(Txt_UserID, "Txt_UserID");
    Initialise(Cmd_Connect, "Cmd_Connect");
    Initialise(Txt_RealName, "Txt_RealName");
    Initialise(Cmd_SetUser, "Cmd_SetUser");
    Initialise(Txt_NickName, "Txt_NickName");
    Initialise(Cmd_SetNick, "Cmd_SetNick");
    Initialise(Txt_Ch, "Txt_Ch");
    Initialise(Cmd_Join, "Cmd_Join");
    Initialise(Cmd_Part, "Cmd_Part");
    Initialise(Cmd_Disconnect, "Cmd_Disconnect");
}

FormMainControls FakeFormControls::Controls() {
    return {Lst_Msg,     Txt_SendMsg,  Label1,      Txt_Host,       Txt_UserID,
            Cmd_Connect, Txt_RealName, Cmd_SetUser, Txt_NickName,   Cmd_SetNick,
            Txt_Ch,      Cmd_Join,     Cmd_Part,    Cmd_Disconnect, Host};
}

std::vector<std::string> FakeFormControls::LoggedTexts() const {
    constexpr std::size_t TimeLength = 9; // "hh:mm:ss "
    std::vector<std::string> texts;
    const auto& items = Lst_Msg.Items();
    for (std::size_t i = 0; i + 1 < items.size(); ++i) {
        texts.push_back(items[i].size() >= TimeLength ? items[i].substr(TimeLength) : items[i]);
    }
    return texts;
}
