// SPDX-License-Identifier: GPL-3.0-or-later
#include "form1window.h"

#include "cifrelle/ui/colour.h"
#include "cifrelle/ui/qtaccessibility.h"
#include "cifrelle/ui/qthelpers.h"

#include <QAction>
#include <QEvent>
#include <QGroupBox>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMetaObject>
#include <QPainter>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>
#include <qdrawutil.h>

#include <algorithm>
#include <optional>
#include <stdexcept>

// The pictures are linked into the window's static library; this pulls
// them into every program that uses the window.
static void loadPictures()
{
    Q_INIT_RESOURCE(icons);
}

namespace cifrelle::app {

namespace {

using ui::Control;
using ui::ControlDesign;
using ui::Kind;
using ui::escapeMnemonics;
using ui::setColour;
using ui::toQColor;
using ui::fromView;

// A design caption for a button, frame title or menu entry: shown as it is.
QString literal(std::string_view text)
{
    return escapeMnemonics(fromView(text));
}

QString pictureOf(Control control)
{
    switch (control) {
    case Control::Command1: return QStringLiteral(":/icons/tenths.png");
    case Control::Command2: return QStringLiteral(":/icons/hundredths.png");
    case Control::Command3: return QStringLiteral(":/icons/thousandths.png");
    case Control::cmdini: return QStringLiteral(":/icons/start.png");
    case Control::cmdexit: return QStringLiteral(":/icons/exit.png");
    case Control::Command4: return QStringLiteral(":/icons/right.png");
    case Control::Command5: return QStringLiteral(":/icons/wrong.png");
    default: return {};
    }
}

constexpr int pictureSize = 32;

const QColor disabledText(80, 80, 80);

// A button of the graphical style: a raised box filled with its own
// background colour, its picture centred above the caption, or the caption
// alone in the middle.
class PictureButton : public QPushButton {
public:
    PictureButton(QColor back, QWidget* parent) : QPushButton(parent), back_(back)
    {
        setColour(this, {QPalette::Button}, back);
    }

protected:
    void paintEvent(QPaintEvent*) override
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
            textRect =
                QRect(inner.left(), inner.bottom() + 1 - textHeight, inner.width(), textHeight);
            const QRect above(inner.left(), inner.top(), inner.width(),
                              textRect.top() - inner.top());
            QRect picture(0, 0, pictureSize, pictureSize);
            picture.moveCenter(above.center());
            icon().paint(&painter, picture, Qt::AlignCenter,
                         isEnabled() ? QIcon::Normal : QIcon::Disabled);
            vertical = Qt::AlignTop;
        }
        painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled,
                                       QPalette::ButtonText));
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

private:
    QColor back_;
};

QWidget* makeLabel(const ControlDesign& d, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setText(fromView(d.caption));
    label->setAlignment(Qt::AlignTop | (d.centred ? Qt::AlignHCenter : Qt::AlignLeft));
    // A label of fixed size wraps its caption; one that sizes itself keeps
    // it on one line and grows.
    label->setWordWrap(!d.sizesItself);
    label->setAutoFillBackground(false);
    label->setMargin(0);
    label->setIndent(0);
    if (d.bordered) {
        label->setFrameShape(QFrame::Box);
        label->setFrameShadow(QFrame::Plain);
        label->setLineWidth(1);
    }
    return label;
}

QWidget* makeTextBox(const ControlDesign& d, QWidget* parent)
{
    auto* box = new QLineEdit(parent);
    box->setText(fromView(d.caption));
    box->setAlignment(Qt::AlignVCenter | (d.centred ? Qt::AlignHCenter : Qt::AlignLeft));
    if (d.backColor)
        setColour(box, {QPalette::Base}, toQColor(*d.backColor));
    if (!d.enabled) {
        // Only the game writes it: no focus, no typing; its text is drawn
        // in the toolkit's disabled style.
        box->setReadOnly(true);
        box->setFocusPolicy(Qt::NoFocus);
        // Still the grey of disabled text, but dark enough to read on the
        // box's green (5.9:1).
        QPalette palette = box->palette();
        palette.setColor(QPalette::Disabled, QPalette::Text, disabledText);
        box->setPalette(palette);
    }
    return box;
}

QWidget* makeButton(const ControlDesign& d, QWidget* parent)
{
    auto* button = new PictureButton(toQColor(d.backColor.value_or(ui::colours::darkBlue)), parent);
    button->setText(literal(d.caption));
    button->setAutoDefault(false);
    if (d.hasPicture) {
        button->setIcon(QIcon(pictureOf(d.control)));
        button->setIconSize(QSize(pictureSize, pictureSize));
    }
    return button;
}

QWidget* makeFrame(const ControlDesign& d, QWidget* parent)
{
    auto* frame = new QGroupBox(literal(d.caption), parent);
    frame->setFocusPolicy(Qt::NoFocus);
    if (d.backColor) {
        setColour(frame, {QPalette::Window}, toQColor(*d.backColor));
        frame->setAutoFillBackground(true);
    }
    return frame;
}

QWidget* makeControl(const ControlDesign& d, QWidget* parent)
{
    QWidget* w = nullptr;
    switch (d.kind) {
    case Kind::Label: w = makeLabel(d, parent); break;
    case Kind::TextBox: w = makeTextBox(d, parent); break;
    case Kind::Button: w = makeButton(d, parent); break;
    case Kind::Frame: w = makeFrame(d, parent); break;
    }
    w->setObjectName(fromView(ui::controlName(d.control)));
    if (d.font)
        w->setFont(designFont(*d.font));
    if (d.foreColor)
        ui::setTextColour(w, *d.foreColor);
    w->setGeometry(ui::twipsToPixels(d.left), ui::twipsToPixels(d.top), ui::twipsToPixels(d.width),
                   ui::twipsToPixels(d.height));
    w->setEnabled(d.enabled);
    if (!d.toolTip.empty()) {
        w->setToolTip(fromView(d.toolTip));
        w->setAccessibleDescription(fromView(d.toolTip));
    }
    // Labels and captioned buttons are read by their visible text; only the
    // controls whose text tells nothing get a name of their own.
    if (!d.accessibleName.empty())
        w->setAccessibleName(fromView(d.accessibleName));
    if (d.sizesItself) {
        // Fits its caption from the start, as it does after every change.
        w->adjustSize();
        w->move(ui::twipsToPixels(d.left), ui::twipsToPixels(d.top));
    }
    w->setHidden(!d.visible);
    return w;
}

bool isEnter(const QKeyEvent& key)
{
    return key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter;
}

// The character code a key press gives to the KeyPress event: 13 for Enter
// on the main keyboard and on the keypad, otherwise the code of the one
// character the key types. Keys that type nothing (arrows, shifts, Tab,
// function keys) raise no KeyPress.
std::optional<std::int16_t> keyAscii(const QKeyEvent& key)
{
    if (isEnter(key))
        return 13;
    if (key.key() == Qt::Key_Tab || key.key() == Qt::Key_Backtab)
        return std::nullopt;
    const QString typed = key.text();
    if (typed.size() != 1)
        return std::nullopt;
    const char16_t code = typed.at(0).unicode();
    if (code > 0x7FFF)
        return std::nullopt;
    return static_cast<std::int16_t>(code);
}

} // namespace

QString substituteFace(std::string_view face)
{
#ifdef Q_OS_WIN
    // Windows has the faces themselves; only its bitmap faces are swapped
    // for the outline faces that scale.
    if (face == "MS Sans Serif")
        return QStringLiteral("Microsoft Sans Serif");
    if (face == "MS Serif")
        return QStringLiteral("Times New Roman");
#else
    if (face == "MS Sans Serif" || face == "Arial")
        return QStringLiteral("Liberation Sans");
    if (face == "Times New Roman" || face == "MS Serif")
        return QStringLiteral("Liberation Serif");
#endif
    return fromView(face);
}

QFont designFont(const ui::Font& font)
{
    QFont f(substituteFace(font.face));
    f.setPointSizeF(font.points);
    f.setWeight(font.bold ? QFont::Bold : QFont::Normal);
    f.setItalic(false);
    f.setUnderline(false);
    f.setStrikeOut(false);
    return f;
}

Form1Window::Form1Window(QWidget* parent) : QMainWindow(parent)
{
    loadPictures();
    ui::installGameWindowAccessibles();
    const ui::WindowDesign& design = ui::windowDesign();
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(fromView(design.caption));
    setWindowIcon(QIcon(QStringLiteral(":/icons/cifrelle.png")));

    client_ = new QWidget(this);
    client_->setObjectName(fromView(design.clientAreaName));
    client_->setFixedSize(ui::twipsToPixels(design.clientWidth),
                          ui::twipsToPixels(design.clientHeight));
    setColour(client_, {QPalette::Window}, toQColor(design.backColor));
    client_->setAutoFillBackground(true);
    setCentralWidget(client_);
    // The window keeps the size of its client area and menu bar.
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    buildControls();
    buildMenuBar();

    timer_ = new QTimer(this);
    timer_->setObjectName(QStringLiteral("Timer1"));
    timer_->setTimerType(Qt::PreciseTimer);
    timer_->setInterval(design.timerIntervalMs);

    wireEvents();
    timer_->start();
}

Form1Window::~Form1Window() = default;

void Form1Window::buildControls()
{
    // Stacking, bottom to top: the frames, then the other controls (so each
    // text box and the two small buttons lie above their frame), then the
    // feedback labels, which let clicks through to the buttons below: the
    // message under the labels that repeat it in colour.
    using ui::Feedback;
    const auto make = [this](auto&& chosen) {
        for (const ControlDesign& d : ui::formDesign()) {
            if (chosen(d))
                controls_[d.control] = makeControl(d, client_);
        }
    };
    make([](const ControlDesign& d) { return d.kind == Kind::Frame; });
    make([](const ControlDesign& d) {
        return d.kind != Kind::Frame && d.feedback == Feedback::none;
    });
    make([](const ControlDesign& d) { return d.feedback == Feedback::message; });
    make([](const ControlDesign& d) { return d.feedback == Feedback::repeat; });
    for (const ControlDesign& d : ui::formDesign()) {
        if (d.feedback != Feedback::none)
            control(d.control)->setAttribute(Qt::WA_TransparentForMouseEvents);
    }
    for (const auto& [c, w] : controls_) {
        if (qobject_cast<QLabel*>(w) || qobject_cast<QGroupBox*>(w))
            w->setFocusPolicy(Qt::NoFocus);
    }

    const auto order = ui::tabOrder();
    for (std::size_t i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(control(order[i - 1]), control(order[i]));
}

void Form1Window::buildMenuBar()
{
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("menubar"));
    for (const ui::MenuDesign& entry : ui::menuDesign()) {
        QAction* action = nullptr;
        if (entry.submenu.empty()) {
            // An entry that acts when clicked on the bar itself; its first
            // letter opens it from the keyboard with Alt.
            action = bar->addAction(QLatin1Char('&') + literal(entry.caption));
        } else {
            QMenu* menu = bar->addMenu(literal(entry.caption));
            menu->setObjectName(fromView(entry.name));
            for (const ui::MenuItemDesign& item : entry.submenu) {
                QAction* itemAction = menu->addAction(literal(item.caption));
                itemAction->setObjectName(fromView(item.name));
                menuEntries_.emplace(std::string(item.name), itemAction);
            }
            action = menu->menuAction();
        }
        action->setObjectName(fromView(entry.name));
        menuEntries_.emplace(std::string(entry.name), action);
    }
}

QAction* Form1Window::menuEntry(std::string_view name) const
{
    const auto found = menuEntries_.find(name);
    return found == menuEntries_.end() ? nullptr : found->second;
}

template <class Handler>
void Form1Window::deliver(Handler handler)
{
    if (handlers_)
        handlers_->raise(handler);
}

void Form1Window::wireEvents()
{
    auto click = [this](Control c, void (ui::Form1Events::*handler)()) {
        connect(static_cast<QPushButton*>(control(c)), &QPushButton::clicked, this,
                [this, handler] { deliver(handler); });
    };
    click(Control::cmdini, &ui::Form1Events::cmdini_Click);
    click(Control::cmdcasual, &ui::Form1Events::cmdcasual_Click);
    click(Control::Command1, &ui::Form1Events::Command1_Click);
    click(Control::Command2, &ui::Form1Events::Command2_Click);
    click(Control::Command3, &ui::Form1Events::Command3_Click);
    click(Control::cmdverifica, &ui::Form1Events::cmdverifica_Click);
    click(Control::cmdexit, &ui::Form1Events::cmdexit_Click);

    connect(timer_, &QTimer::timeout, this, [this] { deliver(&ui::Form1Events::Timer1_Timer); });
    connect(menuEntry("record"), &QAction::triggered, this,
            [this] { deliver(&ui::Form1Events::record_Click); });
    connect(menuEntry("help"), &QAction::triggered, this,
            [this] { deliver(&ui::Form1Events::help_Click); });

    control(Control::txtmio)->installEventFilter(this);
    for (const auto& [c, w] : controls_) {
        if (qobject_cast<QPushButton*>(w))
            w->installEventFilter(this);
    }
}

bool Form1Window::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return QMainWindow::eventFilter(watched, event);
    const auto& key = static_cast<const QKeyEvent&>(*event);

    if (watched == control(Control::txtmio)) {
        const std::optional<std::int16_t> code = keyAscii(key);
        if (code && handlers_) {
            std::int16_t KeyAscii = *code;
            handlers_->raiseKeyPress(KeyAscii);
            if (KeyAscii == 0)
                return true;
        }
        return false;
    }

    // Enter presses the button that has the focus, as Space does.
    if (auto* button = qobject_cast<QPushButton*>(watched); button && isEnter(key)) {
        if (!key.isAutoRepeat())
            button->click();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void Form1Window::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    // The activation event comes once, right after the window is first
    // shown; showing it again, closing a box or switching programs never
    // raises it again.
    if (!activationQueued_) {
        activationQueued_ = true;
        QMetaObject::invokeMethod(this, &Form1Window::raiseActivation, Qt::QueuedConnection);
    }
}

void Form1Window::raiseActivation()
{
    activationRaised_ = true;
    deliver(&ui::Form1Events::Form_Activate);
}

} // namespace cifrelle::app
