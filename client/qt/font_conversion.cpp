#include "client/qt/font_conversion.h"

#include <QFontInfo>

FontSpec FontConversion::FromQFont(const QFont& font) {
    FontSpec copied;
    // A font given in pixels has no point size of its own; take the one it is drawn at.
    copied.Size = font.pointSizeF() > 0 ? font.pointSizeF() : QFontInfo(font).pointSizeF();
    copied.Name = font.family().toStdString();
    copied.Bold = font.bold();
    copied.Italic = font.italic();
    return copied;
}

QFont FontConversion::ToQFont(const FontSpec& copied, const QFont& base) {
    QFont font(base);
    if (copied.Size > 0) {
        font.setPointSizeF(copied.Size);
    }
    font.setFamily(QString::fromStdString(copied.Name));
    font.setBold(copied.Bold);
    font.setItalic(copied.Italic);
    return font;
}
