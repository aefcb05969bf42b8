// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QPushButton>

namespace cifrelle::ui {

// A button of the graphical style: a raised box filled with its own
// background colour, its picture centred above the caption, or the caption
// alone in the middle. The focus ring is dark on a light button and white
// on a dark one.
class PictureButton : public QPushButton {
    Q_OBJECT

public:
    // The side of a picture, in device-independent pixels.
    static constexpr int pictureSize = 32;

    explicit PictureButton(const QColor& back, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor back_;
};

} // namespace cifrelle::ui
