#pragma once

#include "client/command_button.h"
#include "client/form_host.h"
#include "client/form_main.h"
#include "client/label.h"
#include "client/list_box.h"
#include "client/text_box.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

// Window controls without a window, for exact tests of Form_Main.

class FakeTextBox : public TextBox {
public:
    explicit FakeTextBox(std::string text = "") : m_Text(std::move(text)) {}
    std::string Text() const override;
    void SetText(const std::string& text) override { m_Text = text; }

    // When not empty, reading the text throws std::runtime_error with it, as a failing control.
    std::string Failure;

private:
    std::string m_Text;
};

class FakeCommandButton : public CommandButton {
public:
    explicit FakeCommandButton(bool visible = true) : m_Visible(visible) {}
    bool Visible() const override { return m_Visible; }
    void SetVisible(bool visible) override { m_Visible = visible; }

private:
    bool m_Visible;
};

// Holds its entries in a deque, so that dropping the oldest entry of a full log stays cheap.
class FakeListBox : public ListBox {
public:
    int ListCount() const override;
    std::string List(int index) const override;
    void AddItem(const std::string& item, int index) override;
    void RemoveItem(int index) override;
    void SetListIndex(int index) override;
    int ListIndex() const override { return m_ListIndex; }
    void SetHorizontalExtent(int pixels) override { m_HorizontalExtent = pixels; }
    FontSpec Font() const override { return m_Font; }

    int HorizontalExtent() const { return m_HorizontalExtent; }
    void SetFont(const FontSpec& font) { m_Font = font; }
    // The last entry selected, which scrolled the list to it; -1 before any selection.
    int LastSelected() const { return m_LastSelected; }
    const std::deque<std::string>& Items() const { return m_items; }
    // Entries added since the list was made.
    std::size_t Additions() const { return m_additions; }
    // This many additions from now on fail with an exception.
    int FailingAdditions = 0;

private:
    std::deque<std::string> m_items{" "};
    std::size_t m_additions = 0;
    int m_ListIndex = -1;
    int m_LastSelected = -1;
    int m_HorizontalExtent = 0;
    FontSpec m_Font{9.0, "IPAPGothic", false, false};
};

// Measures a caption as PixelsPerCharacter times its number of characters, so that full-width
// text is drawn narrower for its bytes than ASCII.
class FakeLabel : public Label {
public:
    std::string Caption() const override { return m_Caption; }
    void SetCaption(const std::string& caption) override;
    double Width() const override;
    FontSpec Font() const override { return m_Font; }
    void SetFont(const FontSpec& font) override { m_Font = font; }

    double PixelsPerCharacter = 6.5;
    int CaptionChanges = 0;

private:
    std::string m_Caption;
    FontSpec m_Font;
};

class FakeFormHost : public FormHost {
public:
    void MsgBox(const std::string& text) override { MessageBoxes.push_back(text); }
    void End() override { ++EndCalls; }
    TimeOfDay Now() const override { return Time; }
    // At once, unless TurnsEndOnDemand: then when EndTurn is called.
    void AtEndOfTurn(std::function<void()> work) override;
    void EndTurn();

    TimeOfDay Time{12, 34, 56};
    bool TurnsEndOnDemand = false;
    std::vector<std::function<void()>> EndOfTurnWork;
    std::vector<std::string> MessageBoxes;
    int EndCalls = 0;
};

// All the controls of the main window, in their layout's initial state.
struct FakeFormControls {
    FakeFormControls();

    FakeListBox Lst_Msg;
    FakeTextBox Txt_SendMsg;
    FakeLabel Label1;
    FakeTextBox Txt_Host;
    FakeTextBox Txt_UserID;
    FakeCommandButton Cmd_Connect;
    FakeTextBox Txt_RealName;
    FakeCommandButton Cmd_SetUser;
    FakeTextBox Txt_NickName;
    FakeCommandButton Cmd_SetNick;
    FakeTextBox Txt_Ch;
    FakeCommandButton Cmd_Join;
    FakeCommandButton Cmd_Part;
    FakeCommandButton Cmd_Disconnect;
    FakeFormHost Host;

    FormMainControls Controls();
    // The logged entries without their times, oldest first; the blank last entry left out.
    std::vector<std::string> LoggedTexts() const;
};
