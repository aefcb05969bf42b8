// SPDX-License-Identifier: GPL-3.0-or-later
#include "cifrelle/ui/qt/form1window.h"

#include "designfont.h"
#include "picturebutton.h"
#include "qthelpers.h"

#include "cifrelle/ui/colour.h"
#include "cifrelle/ui/formdesign.h"
#include "cifrelle/ui/qt/qtaccessibility.h"

#include <QAction>
#include <QCloseEvent>
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
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>

#include <optional>
#include <utility>

// The pictures are linked into the window's static library; this pulls
// them into every program that uses the window.
static void loadPictures()
{
    Q_INIT_RESOURCE(icons);
}

namespace cifrelle::ui {

namespace {

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

const QColor disabledText(80, 80, 80);

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
    auto* button = new PictureButton(toQColor(d.backColor.value_or(colours::darkBlue)), parent);
    button->setText(literal(d.caption));
    button->setAutoDefault(false);
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
    w->setObjectName(fromView(controlName(d.control)));
    if (d.foreColor)
        setTextColour(w, *d.foreColor);
    w->setGeometry(twipsToPixels(d.left), twipsToPixels(d.top), twipsToPixels(d.width),
                   twipsToPixels(d.height));
    w->setEnabled(d.enabled);
    if (!d.toolTip.empty()) {
        w->setToolTip(fromView(d.toolTip));
        w->setAccessibleDescription(fromView(d.toolTip));
    }
    // Labels and captioned buttons are read by their visible text; only the
    // controls whose text tells nothing get a name of their own.
    if (!d.accessibleName.empty())
        w->setAccessibleName(fromView(d.accessibleName));
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

Form1Window::Form1Window(QWidget* parent) : QMainWindow(parent)
{
    installGameWindowAccessibles();
    const WindowDesign& design = windowDesign();
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(fromView(design.caption));
    setWindowIcon(icon());

    timer_ = new QTimer(this);
    timer_->setObjectName(QStringLiteral("Timer1"));
    timer_->setTimerType(Qt::PreciseTimer);
    timer_->setInterval(design.timerIntervalMs);
    connect(timer_, &QTimer::timeout, this, [this] { deliver(&Form1Events::Timer1_Timer); });
    timer_->start();
}

QIcon Form1Window::icon()
{
    loadPictures();
    return QIcon(QStringLiteral(":/icons/cifrelle.png"));
}

QWidget* Form1Window::clientArea() const
{
    build();
    return client_;
}

QWidget* Form1Window::control(Control control) const
{
    build();
    return controls_.at(control);
}

// The client area with every control, wired to the events. What the window
// shows does not change by it: they are only made later than the window.
void Form1Window::build() const
{
    if (client_)
        return;
    const_cast<Form1Window*>(this)->buildClientArea();
}

void Form1Window::buildClientArea()
{
    const WindowDesign& design = windowDesign();
    client_ = new QWidget(this);
    client_->setObjectName(fromView(design.clientAreaName));
    client_->setFixedSize(twipsToPixels(design.clientWidth), twipsToPixels(design.clientHeight));
    setColour(client_, {QPalette::Window}, toQColor(design.backColor));
    client_->setAutoFillBackground(true);
    setCentralWidget(client_);
    // The window keeps the size of its client area and menu bar.
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    buildControls();
    wireEvents();
    emit controlsBuilt();
}

// What only a window on the screen needs: the menu bar with its two
// events, and the controls' faces and pictures. They are what makes the
// toolkit load fonts, decode images and lay out menus; the window is built
// before start-up asks the player's name and shown only after it, so they
// are put on at its first show, and the name box comes up without waiting
// for them.
void Form1Window::completeForShow()
{
    if (std::exchange(completed_, true))
        return;
    build();
    buildMenuBar();
    connect(menuEntry("record"), &QAction::triggered, this,
            [this] { deliver(&Form1Events::record_Click); });
    connect(menuEntry("help"), &QAction::triggered, this,
            [this] { deliver(&Form1Events::help_Click); });
    dressControls();
}

// The faces and the pictures of the controls, and the labels that fit
// their caption in their face.
void Form1Window::dressControls()
{
    for (const ControlDesign& d : formDesign()) {
        QWidget* w = control(d.control);
        if (d.font)
            w->setFont(designFont(*d.font));
        if (d.hasPicture) {
            auto* button = static_cast<QPushButton*>(w);
            button->setIcon(QIcon(pictureOf(d.control)));
            button->setIconSize(QSize(PictureButton::pictureSize, PictureButton::pictureSize));
        }
        if (d.sizesItself) {
            w->adjustSize();
            w->move(twipsToPixels(d.left), twipsToPixels(d.top));
        }
    }
}

Form1Window::~Form1Window() = default;

void Form1Window::buildControls()
{
    // Stacking, bottom to top: the frames, then the other controls (so each
    // text box and the two small buttons lie above their frame), then the
    // feedback labels, which let clicks through to the buttons below: the
    // message under the labels that repeat it in colour.
    const auto make = [this](auto&& chosen) {
        for (const ControlDesign& d : formDesign()) {
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
    for (const ControlDesign& d : formDesign()) {
        if (d.feedback != Feedback::none)
            control(d.control)->setAttribute(Qt::WA_TransparentForMouseEvents);
    }
    for (const auto& [c, w] : controls_) {
        if (qobject_cast<QLabel*>(w) || qobject_cast<QGroupBox*>(w))
            w->setFocusPolicy(Qt::NoFocus);
    }

    const auto order = tabOrder();
    for (std::size_t i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(control(order[i - 1]), control(order[i]));
}

void Form1Window::buildMenuBar()
{
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("menubar"));
    for (const MenuDesign& entry : menuDesign()) {
        QAction* action = nullptr;
        if (entry.submenu.empty()) {
            // An entry that acts when clicked on the bar itself; its first
            // letter opens it from the keyboard with Alt.
            action = bar->addAction(QLatin1Char('&') + literal(entry.caption));
        } else {
            QMenu* menu = bar->addMenu(literal(entry.caption));
            menu->setObjectName(fromView(entry.name));
            for (const MenuItemDesign& item : entry.submenu) {
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
    auto click = [this](Control c, void (Form1Events::*handler)()) {
        connect(static_cast<QPushButton*>(control(c)), &QPushButton::clicked, this,
                [this, handler] { deliver(handler); });
    };
    click(Control::cmdini, &Form1Events::cmdini_Click);
    click(Control::cmdcasual, &Form1Events::cmdcasual_Click);
    click(Control::Command1, &Form1Events::Command1_Click);
    click(Control::Command2, &Form1Events::Command2_Click);
    click(Control::Command3, &Form1Events::Command3_Click);
    click(Control::cmdverifica, &Form1Events::cmdverifica_Click);
    click(Control::cmdexit, &Form1Events::cmdexit_Click);

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
    completeForShow(); // before the first paint
    QMainWindow::showEvent(event);
    // The activation event comes once, right after the window is first
    // shown; showing it again, closing a box or switching programs never
    // raises it again.
    if (!activationQueued_) {
        activationQueued_ = true;
        QMetaObject::invokeMethod(this, &Form1Window::raiseActivation, Qt::QueuedConnection);
    }
}

void Form1Window::closeEvent(QCloseEvent* event)
{
    if (!handlers_) {
        QMainWindow::closeEvent(event);
        return;
    }
    // The window stays: the game hears of the close once it is handled, and
    // ends the program.
    event->ignore();
    QMetaObject::invokeMethod(
        this, [this] { unload(UnloadMode::WindowClosed); }, Qt::QueuedConnection);
}

void Form1Window::unload(UnloadMode mode)
{
    if (handlers_)
        handlers_->raiseUnload(mode);
}

void Form1Window::raiseActivation()
{
    activationRaised_ = true;
    deliver(&Form1Events::Form_Activate);
}

} // namespace cifrelle::ui
