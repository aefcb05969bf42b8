// SPDX-License-Identifier: GPL-3.0-or-later
#include "qthelpers.h"

#include <QWidget>

namespace cifrelle::ui {

QString fromView(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString escapeMnemonics(const QString& text)
{
    QString escaped = text;
    escaped.replace(QLatin1Char('&'), QLatin1String("&&"));
    return escaped;
}

QString unescapeMnemonics(const QString& text)
{
    QString plain;
    plain.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('&') && i + 1 < text.size() && text[i + 1] == QLatin1Char('&'))
            ++i;
        plain += text[i];
    }
    return plain;
}

QColor toQColor(Colour colour)
{
    const Rgb rgb = toRgb(colour);
    return QColor(rgb.red, rgb.green, rgb.blue);
}

void setColour(QWidget* widget, std::initializer_list<QPalette::ColorRole> roles,
               const QColor& colour)
{
    QPalette palette = widget->palette();
    for (QPalette::ColorRole role : roles)
        palette.setColor(role, colour);
    widget->setPalette(palette);
}

void setTextColour(QWidget* widget, Colour colour)
{
    setColour(widget, {QPalette::WindowText, QPalette::Text, QPalette::ButtonText},
              toQColor(colour));
}

} // namespace cifrelle::ui
