#include "client/qt/main_window.h"

#include "client/form_layout.h"
#include "client/form_wiring.h"
#include "client/qt/log_view.h"

#include <QCloseEvent>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

namespace {

int Pixels(int twips) {
    return static_cast<int>(std::lround(static_cast<double>(twips) / FormLayout::TwipsPerPixel));
}

QString ToQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Families with the metrics of the text boxes' font first, then any Japanese one. The window's own
// font is taken from the same list.
const char* const PreferredJapaneseFonts[] = {"IPAPGothic", "IPAGothic", "Noto Sans CJK JP",
                                              "Noto Sans JP"};

// The window's default font, which the log, its measuring label and the buttons use: one family
// with Latin and Japanese glyphs of its own, so that an entry with Japanese in it is not drawn in
// another face than one without (its time stamp included). The size stays the desktop's.
QFont WindowFont(QFont font) {
    for (const char* preferred : PreferredJapaneseFonts) {
        const QString family = QString::fromLatin1(preferred);
        if (QFontDatabase::hasFamily(family)) {
            font.setFamily(family);
            return font;
        }
    }
    const QStringList japanese = QFontDatabase::families(QFontDatabase::Japanese);
    if (!japanese.isEmpty()) {
        font.setFamily(japanese.first());
    }
    return font;
}

} // namespace

MainWindow::MainWindow(TCPSockProc& proc, QWidget* parent) : QWidget(parent), m_host(*this) {
    InstallTextBoxFontSubstitutes();
    setWindowTitle(ToQString(FormLayout::Title));
    setFixedSize(Pixels(FormLayout::ClientWidth), Pixels(FormLayout::ClientHeight));
    setFont(WindowFont(font()));
    BuildControls();
    SetTabOrder();

    m_Lst_Msg = std::make_unique<QtListBox>(*m_log);
    m_Label1 = std::make_unique<QtLabel>(ControlOf<QLabel>("Label1"));
    auto text = [this](std::string_view name) -> TextBox& {
        return *m_textBoxes.find(name)->second;
    };
    auto button = [this](std::string_view name) -> CommandButton& {
        return *m_buttons.find(name)->second;
    };
    m_form = std::make_unique<Form_Main>(
        proc, FormWiring::Controls(*m_Lst_Msg, *m_Label1, text, button, m_host));

    for (const auto& [name, handler] : FormWiring::Clicks) {
        connect(&ControlOf<QPushButton>(name), &QPushButton::clicked, this,
                [this, handler = handler] { Guarded([&] { std::invoke(handler, *m_form); }); });
    }
    m_sendMsgKeys = std::make_unique<KeyPressFilter>(
        ControlOf<QLineEdit>("Txt_SendMsg"),
        [this](std::int16_t& KeyAscii) { m_form->Txt_SendMsg_KeyPress(KeyAscii); },
        [this](const std::function<void()>& call) { Guarded(call); });
}

MainWindow::~MainWindow() {
    // A window destroyed without being closed still gives up its socket before the socket layer
    // is cleaned up.
    Guarded([this] { Unload(); });
}

bool MainWindow::Load() {
    m_loaded = m_form->Form_Load();
    return m_loaded;
}

QWidget* MainWindow::Control(std::string_view name) const {
    const auto found = m_controls.find(name);
    return found == m_controls.end() ? nullptr : found->second;
}

void MainWindow::InstallTextBoxFontSubstitutes() {
    const QString family = ToQString(FormLayout::TextBoxFontName);
    if (QFontDatabase::hasFamily(family) || !QFont::substitutes(family).isEmpty()) {
        return;
    }
    QStringList substitutes;
    for (const char* preferred : PreferredJapaneseFonts) {
        substitutes << QString::fromLatin1(preferred);
    }
    for (const QString& japanese : QFontDatabase::families(QFontDatabase::Japanese)) {
        if (!substitutes.contains(japanese)) {
            substitutes << japanese;
        }
    }
    QFont::insertSubstitutions(family, substitutes);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    Guarded([this] { Unload(); });
    event->accept();
}

void MainWindow::Unload() {
    if (!m_loaded) {
        return;
    }
    m_loaded = false;
    m_form->Form_Unload();
}

void MainWindow::BuildControls() {
    QFont textBoxFont(ToQString(FormLayout::TextBoxFontName));
    textBoxFont.setPointSizeF(FormLayout::TextBoxFontSize);
    textBoxFont.setWeight(QFont::Normal);

    for (const ControlSpec& control : FormLayout::Controls) {
        QWidget* widget = nullptr;
        switch (control.Kind) {
        case ControlKind::ListBox: {
            m_log = new LogView(this);
            m_log->Model().InsertEntry(0, QStringLiteral(" "));
            widget = m_log;
            break;
        }
        case ControlKind::TextBox: {
            auto* edit = new QLineEdit(ToQString(control.Caption), this);
            edit->setFont(textBoxFont);
            m_textBoxes.emplace(control.Name, std::make_unique<QtTextBox>(*edit));
            widget = edit;
            break;
        }
        case ControlKind::Label: {
            auto* label = new QLabel(ToQString(control.Caption), this);
            label->setTextFormat(Qt::PlainText);
            label->setFocusPolicy(Qt::NoFocus);
            label->setAttribute(Qt::WA_TransparentForMouseEvents);
            widget = label;
            break;
        }
        case ControlKind::CommandButton: {
            auto* push = new QPushButton(ToQString(control.Caption), this);
            push->setAutoDefault(false);
            m_buttons.emplace(control.Name, std::make_unique<QtCommandButton>(*push));
            widget = push;
            break;
        }
        }
        widget->setObjectName(ToQString(control.Name));
        widget->setGeometry(Pixels(control.Left), Pixels(control.Top), Pixels(control.Width),
                            Pixels(control.Height));
        widget->setVisible(control.Visible);
        m_controls.emplace(control.Name, widget);
    }
}

void MainWindow::SetTabOrder() {
    std::vector<const ControlSpec*> order;
    for (const ControlSpec& control : FormLayout::Controls) {
        if (control.Kind != ControlKind::Label) {
            order.push_back(&control);
        }
    }
    std::sort(order.begin(), order.end(),
              [](const ControlSpec* a, const ControlSpec* b) { return a->TabIndex < b->TabIndex; });
    for (std::size_t i = 1; i < order.size(); ++i) {
        QWidget::setTabOrder(Control(order[i - 1]->Name), Control(order[i]->Name));
    }
}

template <typename T> T& MainWindow::ControlOf(std::string_view name) const {
    return *static_cast<T*>(Control(name));
}
