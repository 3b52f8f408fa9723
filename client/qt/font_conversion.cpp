#include "client/qt/font_conversion.h"

#include <QFontInfo>

FontSpec FontConversion::ToSpec(const QFont& font) {
    FontSpec spec;
    // A font given in pixels has no point size of its own; take the one it is drawn at.
    spec.Size = font.pointSizeF() > 0 ? font.pointSizeF() : QFontInfo(font).pointSizeF();
    spec.Name = font.family().toStdString();
    spec.Bold = font.bold();
    spec.Italic = font.italic();
    return spec;
}

QFont FontConversion::Apply(const FontSpec& spec, const QFont& base) {
    QFont font(base);
    if (spec.Size > 0) {
        font.setPointSizeF(spec.Size);
    }
    font.setFamily(QString::fromStdString(spec.Name));
    font.setBold(spec.Bold);
    font.setItalic(spec.Italic);
    return font;
}
