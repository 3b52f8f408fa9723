#include "client/qt/main_window.h"

#include "client/form_layout.h"
#include "client/form_wiring.h"
#include "client/qt/log_view.h"

#include <QCloseEvent>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <functional>

namespace {

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

MainWindow::MainWindow(TCPSockProc& proc, QWidget* parent)
    : QWidget(parent), m_host(*this), m_textBoxFont(ToQString(FormLayout::TextBoxFontName)) {
    InstallTextBoxFontSubstitutes();
    setWindowTitle(ToQString(FormLayout::Title));
    setFixedSize(FormShell::Pixels(FormLayout::ClientWidth),
                 FormShell::Pixels(FormLayout::ClientHeight));
    setFont(WindowFont(font()));
    m_textBoxFont.setPointSizeF(FormLayout::TextBoxFontSize);
    m_textBoxFont.setWeight(QFont::Normal);
    m_shell = std::make_unique<FormShell>(proc, static_cast<ControlFactory&>(*this), m_host);
    SetTabOrder();

    for (const auto& [name, handler] : FormWiring::Clicks) {
        connect(&ControlOf<QPushButton>(name), &QPushButton::clicked, this,
                [this, name = name] { m_shell->Click(name); });
    }
    m_sendMsgKeys = std::make_unique<KeyPressFilter>(
        ControlOf<QLineEdit>("Txt_SendMsg"),
        [this](std::int16_t& KeyAscii) { Form().Txt_SendMsg_KeyPress(KeyAscii); },
        [this](const std::function<void()>& call) { Guarded(call); });
}

MainWindow::~MainWindow() = default;

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
    m_shell->Close();
    event->accept();
}

ListBox& MainWindow::MakeListBox(const ControlSpec& control, const PixelRect& place) {
    m_log = new LogView(this);
    m_log->Model().InsertEntry(0, QStringLiteral(" "));
    Place(*m_log, control, place);
    m_Lst_Msg = std::make_unique<QtListBox>(*m_log);
    return *m_Lst_Msg;
}

TextBox& MainWindow::MakeTextBox(const ControlSpec& control, const PixelRect& place) {
    auto* edit = new QLineEdit(ToQString(control.Caption), this);
    edit->setFont(m_textBoxFont);
    Place(*edit, control, place);
    return *m_textBoxes.emplace_back(std::make_unique<QtTextBox>(*edit));
}

Label& MainWindow::MakeLabel(const ControlSpec& control, const PixelRect& place) {
    auto* label = new QLabel(ToQString(control.Caption), this);
    label->setTextFormat(Qt::PlainText);
    label->setFocusPolicy(Qt::NoFocus);
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    Place(*label, control, place);
    m_Label1 = std::make_unique<QtLabel>(*label);
    return *m_Label1;
}

CommandButton& MainWindow::MakeCommandButton(const ControlSpec& control, const PixelRect& place) {
    auto* push = new QPushButton(ToQString(control.Caption), this);
    push->setAutoDefault(false);
    Place(*push, control, place);
    return *m_buttons.emplace_back(std::make_unique<QtCommandButton>(*push));
}

void MainWindow::Place(QWidget& widget, const ControlSpec& control, const PixelRect& place) {
    widget.setObjectName(ToQString(control.Name));
    widget.setGeometry(place.Left, place.Top, place.Width, place.Height);
    widget.setVisible(control.Visible);
    m_controls.emplace(control.Name, &widget);
}

// Qt moves the focus in the order given here; the label takes none.
void MainWindow::SetTabOrder() {
    QWidget* previous = nullptr;
    for (const ControlSpec* control : FormShell::InTabOrder()) {
        if (control->Kind == ControlKind::Label) {
            continue;
        }
        QWidget* widget = Control(control->Name);
        if (previous != nullptr) {
            QWidget::setTabOrder(previous, widget);
        }
        previous = widget;
    }
}

template <typename T> T& MainWindow::ControlOf(std::string_view name) const {
    return *static_cast<T*>(Control(name));
}
