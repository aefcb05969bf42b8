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
