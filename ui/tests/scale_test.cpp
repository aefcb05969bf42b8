// SPDX-License-Identifier: GPL-3.0-or-later
// The window at the scale the test is run with (QT_SCALE_FACTOR: 1 and 2
// are registered): every text fits its control at the control's own font,
// and nothing covers a control it does not cover in the design.
#include "cifrelle/ui/formdesign.h"
#include "cifrelle/ui/qt/form1window.h"
#include "cifrelle/ui/qt/qtui.h"
#include "designpixels.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionGroupBox>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace {

using cifrelle::ui::Form1Window;
using cifrelle::ui::Control;
using cifrelle::ui::ControlDesign;
using cifrelle::ui::Kind;

std::string nameOf(Control c)
{
    return std::string(cifrelle::ui::controlName(c));
}

using cifrelle::ui::testing::pixels;

QRect designRect(Control c)
{
    const ControlDesign& d = cifrelle::ui::designOf(c);
    return QRect(pixels(d.left), pixels(d.top), pixels(d.width), pixels(d.height));
}

// The button that, in the design itself, is a 25-pixel square carrying the
// word "verifica": its caption cannot fit at any scale. Screen readers
// still read it whole (its accessible name is the caption).
bool clippedInTheDesign(Control c)
{
    return c == Control::cmdverifica;
}

// Inner margin of the game's buttons, and the side of their pictures.
constexpr int buttonMargin = 3;
constexpr int pictureSide = 32;

class ScaleTest : public ::testing::Test {
protected:
    Form1Window window;
    cifrelle::ui::QtUi ui{window};

    void SetUp() override
    {
        // The captions the game writes while it runs, at their widest usual
        // values, on top of the design's own.
        ui.setCaption(Control::lblconto, "00:15:00");
        ui.setCaption(Control::lblnome1, "Maria Francesca");
        ui.setCaption(Control::lblScore, "123");
        ui.setCaption(Control::lblScore1, "45");
        ui.setCaption(Control::lblnome, "Nicolò\r\n");
        ui.setCaption(Control::lblpunti, "123\r\n");
        ui.setText(Control::Text2, "74,23917");
        ui.setText(Control::txtmio, "74,239");
        // One level button left and no start button, as in play.
        ui.setVisible(Control::Command1, false);
        ui.setVisible(Control::Command3, false);
        ui.setVisible(Control::cmdini, false);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }

    QWidget* w(Control c) const { return window.control(c); }

    void showFeedback(const char* text, bool all)
    {
        for (Control c : {Control::lblok, Control::lblok1, Control::lblok2})
            ui.setCaption(c, text);
        ui.setVisible(Control::lblok1, all);
        ui.setVisible(Control::lblok2, all);
    }

    // Where a control puts ink, in client-area coordinates: the text of a
    // label, the whole of any other control.
    QRect inkOf(Control c) const
    {
        QWidget* widget = w(c);
        if (auto* label = qobject_cast<QLabel*>(widget))
            return labelInk(*label).box.translated(label->pos());
        return widget->geometry();
    }

    // The ink of a text drawn without any clipping, at the window's pixel
    // ratio: its bounding box and how many device pixels of it fall
    // outside `room` (both in the control's coordinates).
    struct Ink {
        QRect box;
        int outside = 0;
    };

    Ink inkOfText(const QFont& font, QRect layout, int flags, const QString& text, QRect room) const
    {
        if (text.isEmpty())
            return {};
        const qreal ratio = window.devicePixelRatio();
        const int margin = 400; // room for text running out on any side
        const QRect canvas = layout.adjusted(-margin, -margin, margin, margin);
        QImage image(canvas.size() * ratio, QImage::Format_RGB32);
        image.setDevicePixelRatio(ratio);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            painter.translate(-canvas.topLeft());
            painter.setFont(font);
            painter.setPen(Qt::black);
            // Drawn unclipped, to see what the control's own drawing cuts.
            painter.drawText(layout, flags | Qt::TextDontClip, text);
        }
        Ink ink;
        QRect device; // the ink box in device pixels of the image
        const QRect roomInImage((room.topLeft() - canvas.topLeft()) * ratio, room.size() * ratio);
        for (int y = 0; y < image.height(); ++y) {
            const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                if (qGray(line[x]) > 200)
                    continue;
                device |= QRect(x, y, 1, 1);
                if (!roomInImage.contains(x, y))
                    ++ink.outside;
            }
        }
        if (!device.isNull()) {
            const QPointF topLeft = QPointF(device.topLeft()) / ratio;
            const QPointF bottomRight = QPointF(device.bottomRight() + QPoint(1, 1)) / ratio;
            ink.box = QRectF(topLeft, bottomRight).toAlignedRect().translated(canvas.topLeft());
        }
        return ink;
    }

    // A label draws its text in its contents rectangle.
    Ink labelInk(const QLabel& label) const
    {
        int flags = int(label.alignment());
        if (label.wordWrap())
            flags |= Qt::TextWordWrap;
        return inkOfText(label.font(), label.contentsRect(), flags, label.text(),
                         label.contentsRect());
    }

    // Why the text of a visible control does not fit it, or nothing.
    std::optional<std::string> clipping(Control c) const
    {
        QWidget* widget = w(c);
        const QFontMetrics metrics(widget->font(), widget);
        auto outside = [](const char* what, int pixels) {
            return std::string(what) + ": " + std::to_string(pixels) +
                   " pixels of ink outside the control";
        };
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            const Ink ink = labelInk(*label);
            if (ink.outside > 0)
                return outside("label text", ink.outside);
            return std::nullopt;
        }
        if (auto* button = qobject_cast<QPushButton*>(widget)) {
            // As the game's buttons lay themselves out: the caption at the
            // bottom, the picture centred in the room above it.
            const QRect inner =
                button->rect().adjusted(buttonMargin, buttonMargin, -buttonMargin, -buttonMargin);
            const int flags = Qt::AlignHCenter | Qt::TextWordWrap | Qt::TextShowMnemonic;
            QRect textRect = inner;
            int vertical = Qt::AlignVCenter;
            if (!button->icon().isNull()) {
                const QRect bounds =
                    metrics.boundingRect(inner, flags | Qt::AlignBottom, button->text());
                textRect.setTop(inner.bottom() + 1 - std::min(bounds.height(), inner.height()));
                vertical = Qt::AlignTop;
                QRect picture(0, 0, pictureSide, pictureSide);
                picture.moveCenter(
                    QRect(inner.topLeft(), QPoint(inner.right(), textRect.top() - 1)).center());
                if (!inner.contains(picture))
                    return std::string("picture: no room above the caption");
                const Ink ink =
                    inkOfText(button->font(), textRect, flags | vertical, button->text(), inner);
                if (ink.box.intersects(picture))
                    return std::string("caption runs into the picture");
                if (ink.outside > 0)
                    return outside("button caption", ink.outside);
                return std::nullopt;
            }
            const Ink ink =
                inkOfText(button->font(), textRect, flags | vertical, button->text(), inner);
            if (ink.outside > 0)
                return outside("button caption", ink.outside);
            return std::nullopt;
        }
        if (auto* frame = qobject_cast<QGroupBox*>(widget)) {
            QStyleOptionGroupBox option;
            option.initFrom(frame);
            option.text = frame->title();
            option.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
            option.textAlignment = frame->alignment();
            const QRect room = frame->style()->subControlRect(QStyle::CC_GroupBox, &option,
                                                              QStyle::SC_GroupBoxLabel, frame);
            const Ink ink = inkOfText(frame->font(), room, Qt::AlignLeft | Qt::AlignVCenter,
                                      frame->title(), frame->rect());
            if (ink.outside > 0 || room.width() < metrics.horizontalAdvance(frame->title()))
                return outside("frame title", ink.outside);
            return std::nullopt;
        }
        if (auto* box = qobject_cast<QLineEdit*>(widget)) {
            const int frameWidth = box->style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
            const QRect room =
                box->rect().adjusted(frameWidth, frameWidth, -frameWidth, -frameWidth);
            const Ink ink = inkOfText(box->font(), room, int(box->alignment()), box->text(), room);
            if (ink.outside > 0)
                return outside("text", ink.outside);
            return std::nullopt;
        }
        return std::string("unknown kind of control");
    }

    void expectNothingClipped()
    {
        for (const ControlDesign& d : cifrelle::ui::formDesign()) {
            if (!w(d.control)->isVisible() || clippedInTheDesign(d.control))
                continue;
            const auto problem = clipping(d.control);
            EXPECT_FALSE(problem) << nameOf(d.control) << ": " << *problem;
        }
    }

    void expectNoOverlapBeyondTheDesign()
    {
        const QRect client(QPoint(0, 0), window.clientArea()->size());
        std::map<Control, QRect> ink;
        for (const ControlDesign& d : cifrelle::ui::formDesign()) {
            if (w(d.control)->isVisible())
                ink[d.control] = inkOf(d.control);
        }
        for (const auto& [a, inkA] : ink) {
            EXPECT_TRUE(client.contains(inkA) || inkA.isNull())
                << nameOf(a) << " reaches out of the window";
            for (const auto& [b, inkB] : ink) {
                if (a >= b || designRect(a).intersects(designRect(b)))
                    continue;
                EXPECT_FALSE(inkA.intersects(inkB)) << nameOf(a) << " covers " << nameOf(b);
            }
        }
    }
};

TEST_F(ScaleTest, RunsAtTheScaleItWasStartedWith)
{
    const QByteArray asked = qgetenv("QT_SCALE_FACTOR");
    const double factor = asked.isEmpty() ? 1.0 : asked.toDouble();
    EXPECT_DOUBLE_EQ(window.devicePixelRatio(), factor);
    // The layout is in device-independent pixels: the same at every scale.
    EXPECT_EQ(window.clientArea()->size(), QSize(623, 573));
    for (const ControlDesign& d : cifrelle::ui::formDesign()) {
        if (!d.sizesItself) {
            EXPECT_EQ(w(d.control)->geometry(), designRect(d.control)) << nameOf(d.control);
        }
    }
    // What is drawn has the scaled number of pixels.
    const QImage image = window.clientArea()->grab().toImage();
    EXPECT_EQ(image.size(), QSize(623, 573) * factor);
}

TEST_F(ScaleTest, NoTextIsClippedAfterARightAnswer)
{
    showFeedback("Sei veramente ok", true);
    ui.setVisible(Control::Command4, true);
    expectNothingClipped();
}

TEST_F(ScaleTest, NoTextIsClippedAfterAWrongAnswer)
{
    showFeedback("Fai attenzione", false);
    ui.setVisible(Control::Command5, true);
    expectNothingClipped();
}

TEST_F(ScaleTest, EveryLevelCaptionAndTheStartButtonFit)
{
    ui.setVisible(Control::cmdini, true);
    for (Control level : {Control::Command1, Control::Command2, Control::Command3}) {
        for (Control c : {Control::Command1, Control::Command2, Control::Command3})
            ui.setVisible(c, c == level);
        EXPECT_FALSE(clipping(level)) << nameOf(level) << ": " << *clipping(level);
    }
    EXPECT_FALSE(clipping(Control::cmdini)) << *clipping(Control::cmdini);
}

TEST_F(ScaleTest, NothingCoversWhatItDoesNotCoverInTheDesign)
{
    showFeedback("Sei veramente ok", true);
    expectNoOverlapBeyondTheDesign();
    showFeedback("Fai attenzione", false);
    expectNoOverlapBeyondTheDesign();
}

TEST_F(ScaleTest, TheCheckSeesAClippedText)
{
    // A caption far too long for its label must be reported.
    ui.setCaption(Control::lblok, "PrecipitevolissimevolmentePrecipitevolissimevolmente");
    ASSERT_TRUE(clipping(Control::lblok));
    // A name so long that the self-sizing label runs into the window edge.
    ui.setCaption(Control::lblnome1, QString(60, 'W').toStdString());
    EXPECT_FALSE(window.clientArea()->rect().contains(inkOf(Control::lblnome1)));
}

TEST_F(ScaleTest, MenuBarEntriesFitTheBar)
{
    QMenuBar* bar = window.menuBar();
    for (QAction* entry : bar->actions()) {
        const QRect place = bar->actionGeometry(entry);
        EXPECT_TRUE(bar->rect().contains(place)) << entry->text().toStdString();
        EXPECT_GE(
            place.width(),
            QFontMetrics(bar->font(), bar).horizontalAdvance(QString(entry->text()).remove('&')))
            << entry->text().toStdString();
    }
}

} // namespace
