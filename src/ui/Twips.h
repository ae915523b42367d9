#pragma once

#include <QFont>
#include <QLabel>
#include <QRect>

// The layout is drawn in twips (1/1440 inch); at 96 dpi 15 twips make one pixel. Qt scales the
// pixels itself on high-density screens.
constexpr int twips(int value) {
    return value / 15;
}

constexpr QRect twipsRect(int left, int top, int width, int height) {
    return QRect(twips(left), twips(top), twips(width), twips(height));
}

// The layout was made for a small 8-point system font. A condensed 7.5-point face keeps every
// caption whole at these sizes ("22. Lépés" in 49 px, "1. Lépés" in 41 px).
inline QFont windowFont() {
    QFont font(QStringLiteral("DejaVu Sans Condensed"));
    font.setPointSizeF(7.5);
    return font;
}

// A fixed text at its place, named like the original control.
inline QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, const QRect& rect) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromUtf8(name));
    label->setGeometry(rect);
    return label;
}
