#include "client/qt/key_press_filter.h"

#include "client/form_constants.h"
#include "encoding/ansi_code_page.h"

#include <QInputMethodEvent>
#include <QKeyEvent>

KeyPressFilter::KeyPressFilter(QObject& watched, Handler handler) : m_handler(std::move(handler)) {
    watched.installEventFilter(this);
}

std::int16_t KeyPressFilter::KeyAsciiOf(char32_t character) {
    const QString text = QString::fromUcs4(&character, 1);
    const std::vector<std::uint8_t> bytes = AnsiCodePage::ToBytes(text.toStdString());
    if (bytes.size() == 1) {
        return static_cast<std::int16_t>(bytes[0]);
    }
    if (bytes.size() == 2) {
        return static_cast<std::int16_t>(static_cast<std::uint16_t>(bytes[0] << 8 | bytes[1]));
    }
    return static_cast<std::int16_t>('?');
}

bool KeyPressFilter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            std::int16_t code = KeyEnter;
            m_handler(code);
        } else if (key->key() != Qt::Key_Tab && key->key() != Qt::Key_Backtab) {
            // Tab moves the focus and types nothing.
            Deliver(key->text());
        }
    } else if (event->type() == QEvent::InputMethod) {
        // Text composed with an input method arrives whole; each of its characters is a key.
        Deliver(static_cast<QInputMethodEvent*>(event)->commitString());
    }
    return QObject::eventFilter(watched, event);
}

void KeyPressFilter::Deliver(const QString& text) {
    for (const char32_t character : text.toUcs4()) {
        std::int16_t code = KeyAsciiOf(character);
        m_handler(code);
    }
}
