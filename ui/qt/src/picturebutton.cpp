// SPDX-License-Identifier: GPL-3.0-or-later
#include "picturebutton.h"

#include "qthelpers.h"

#include <QIcon>
#include <QPainter>
#include <QPen>
#include <qdrawutil.h>

#include <algorithm>

namespace cifrelle::ui {

PictureButton::PictureButton(const QColor& back, QWidget* parent) : QPushButton(parent), back_(back)
{
    setColour(this, {QPalette::Button}, back);
}

void PictureButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const bool sunken = isDown() || isChecked();
    const QBrush fill(back_);
    qDrawWinButton(&painter, rect(), palette(), sunken, &fill);

    QRect inner = rect().adjusted(3, 3, -3, -3);
    if (sunken)
        inner.translate(1, 1);
    const int textFlags = Qt::AlignHCenter | Qt::TextWordWrap | Qt::TextShowMnemonic;
    QRect textRect = inner;
    int vertical = Qt::AlignVCenter;
    if (!icon().isNull()) {
        const QRect bounds =
            painter.fontMetrics().boundingRect(inner, textFlags | Qt::AlignBottom, text());
        const int textHeight = text().isEmpty() ? 0 : std::min(bounds.height(), inner.height());
        textRect = QRect(inner.left(), inner.bottom() + 1 - textHeight, inner.width(), textHeight);
        const QRect above(inner.left(), inner.top(), inner.width(), textRect.top() - inner.top());
        QRect picture(0, 0, pictureSize, pictureSize);
        picture.moveCenter(above.center());
        icon().paint(&painter, picture, Qt::AlignCenter,
                     isEnabled() ? QIcon::Normal : QIcon::Disabled);
        vertical = Qt::AlignTop;
    }
    painter.setPen(
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
    painter.setClipRect(inner);
    painter.drawText(textRect, textFlags | vertical, text());
    if (hasFocus()) {
        QRect focus = painter.fontMetrics()
                          .boundingRect(textRect, textFlags | vertical, text())
                          .adjusted(-2, -1, 2, 1)
                          .intersected(inner);
        if (text().isEmpty())
            focus = inner.adjusted(1, 1, -1, -1);
        // Dark on a light button, white on a dark one (the navy ones).
        const QColor ring = back_.lightnessF() < 0.5 ? QColor(Qt::white) : QColor(Qt::black);
        painter.setPen(QPen(ring, 1, Qt::DotLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(focus.adjusted(0, 0, -1, -1));
    }
}

} // namespace cifrelle::ui
