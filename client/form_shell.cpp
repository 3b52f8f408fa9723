#include "client/form_shell.h"

#include "client/form_texts.h"
#include "client/form_wiring.h"

#include <algorithm>
#include <cmath>
#include <exception>

FormShell::FormShell(TCPSockProc& proc, ControlFactory& factory, FormHost& host) {
    ListBox* list = nullptr;
    Label* label = nullptr;
    for (const ControlSpec* control : InTabOrder()) {
        const PixelRect place{Pixels(control->Left), Pixels(control->Top), Pixels(control->Width),
                              Pixels(control->Height)};
        switch (control->Kind) {
        case ControlKind::ListBox:
            list = &factory.MakeListBox(*control, place);
            break;
        case ControlKind::TextBox:
            m_textBoxes.emplace(control->Name, &factory.MakeTextBox(*control, place));
            break;
        case ControlKind::Label:
            label = &factory.MakeLabel(*control, place);
            break;
        case ControlKind::CommandButton:
            m_buttons.emplace(control->Name, &factory.MakeCommandButton(*control, place));
            break;
        }
    }
    auto text = [this](std::string_view name) -> TextBox& {
        return *m_textBoxes.find(name)->second;
    };
    auto button = [this](std::string_view name) -> CommandButton& {
        return *m_buttons.find(name)->second;
    };
    m_form =
        std::make_unique<Form_Main>(proc, FormWiring::Controls(*list, *label, text, button, host));
}

FormShell::~FormShell() {
    Close();
}

bool FormShell::Load() {
    m_loaded = m_form->Form_Load();
    return m_loaded;
}

void FormShell::Close() {
    Guarded([this] {
        if (m_loaded) {
            m_loaded = false;
            m_form->Form_Unload();
        }
    });
}

void FormShell::Click(std::string_view name) {
    const auto found = std::find_if(FormWiring::Clicks.begin(), FormWiring::Clicks.end(),
                                    [name](const auto& click) { return click.first == name; });
    if (found != FormWiring::Clicks.end()) {
        Guarded([this, handler = found->second] { (m_form.get()->*handler)(); });
    }
}

int FormShell::Pixels(int twips) {
    return static_cast<int>(std::lround(static_cast<double>(twips) / FormLayout::TwipsPerPixel));
}

std::vector<const ControlSpec*> FormShell::InTabOrder() {
    std::vector<const ControlSpec*> order;
    for (const ControlSpec& control : FormLayout::Controls) {
        order.push_back(&control);
    }
    std::stable_sort(order.begin(), order.end(), [](const ControlSpec* a, const ControlSpec* b) {
        return a->TabIndex < b->TabIndex;
    });
    return order;
}

bool FormShell::Start(const std::function<bool()>& start, const ShowFailure& show) {
    try {
        return start();
    } catch (const std::exception& e) {
        show(FormTexts::TextStartUpFailed, e.what());
    } catch (...) {
        show(FormTexts::TextStartUpFailed, "");
    }
    return false;
}
