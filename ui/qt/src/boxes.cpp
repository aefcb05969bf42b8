// SPDX-License-Identifier: GPL-3.0-or-later
#include "boxes.h"

#include "qthelpers.h"
#include "stayingbox.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <utility>

namespace cifrelle::ui {

Boxes::Boxes(std::function<QWidget*()> window)
    : owner_(std::move(window)), context_(std::make_unique<QObject>())
{
    // A box that has the focus takes down the boxes answered before it.
    QObject::connect(
        qGuiApp, &QGuiApplication::focusWindowChanged, context_.get(), [this](QWindow* focus) {
            const bool answered =
                std::any_of(answered_.begin(), answered_.end(), [focus](const auto& box) {
                    return box && box->windowHandle() == focus;
                });
            if (open_ > 0 && focus && !answered)
                takeDownAnswered();
        });
}

Boxes::~Boxes()
{
    // A box answered before the window was shown has no owner to take it
    // along.
    takeDownAnswered();
}

void Boxes::takeDownAnswered()
{
    for (const QPointer<QWidget>& box : std::exchange(answered_, {})) {
        if (box) {
            box->hide();
            box->deleteLater();
        }
    }
}

bool Boxes::isTooLong(const QString& text)
{
    return text.size() > 2000 || text.count(QLatin1Char('\n')) > 30;
}

void Boxes::message(int icon, const QString& caption, const QString& text)
{
    if (isTooLong(text)) {
        showScrolling(icon, caption, text);
        return;
    }
    auto* box = new StayingBox(static_cast<QMessageBox::Icon>(icon), caption, text, owner_());
    ++open_;
    box->ask();
    --open_;
    answered_.emplace_back(box);
    QMetaObject::invokeMethod(
        context_.get(),
        [this] {
            if (open_ == 0) {
                takeDownAnswered();
                if (QWidget* window = owner_())
                    window->activateWindow();
            }
        },
        Qt::QueuedConnection);
    // At the latest (a desktop that does not hand the focus over).
    QTimer::singleShot(3000, context_.get(), [this] { takeDownAnswered(); });
}

void Boxes::showScrolling(int icon, const QString& caption, const QString& text)
{
    // A message box grows with its text: a very long one (a record file
    // holding pages of text) would push its OK button off the screen. The
    // whole text is shown all the same, in a box that fits and scrolls.
    QDialog box(owner_());
    box.setWindowTitle(caption);
    auto* layout = new QVBoxLayout(&box);
    auto* row = new QHBoxLayout;
    if (icon != QMessageBox::NoIcon) {
        auto* picture = new QLabel(&box);
        const QStyle::StandardPixmap kind = icon == QMessageBox::Warning
                                                ? QStyle::SP_MessageBoxWarning
                                                : QStyle::SP_MessageBoxInformation;
        const int size = box.style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, &box);
        picture->setPixmap(box.style()->standardIcon(kind, nullptr, &box).pixmap(size));
        picture->setAlignment(Qt::AlignTop);
        row->addWidget(picture);
    }
    auto* view = new QPlainTextEdit(&box);
    view->setObjectName(QStringLiteral("messageText"));
    view->setReadOnly(true);
    view->setPlainText(text);
    view->setAccessibleName(caption);
    row->addWidget(view, 1);
    layout->addLayout(row);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &box);
    buttons->setCenterButtons(true);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &box, &QDialog::accept);
    layout->addWidget(buttons);

    const QScreen* screen = box.screen();
    const QSize room = screen ? screen->availableGeometry().size() * 0.8 : QSize(640, 480);
    box.resize(std::min(640, room.width()), std::min(480, room.height()));
    buttons->button(QDialogButtonBox::Ok)->setFocus();
    ++open_;
    box.exec();
    --open_;
}

std::optional<QString> Boxes::input(const QString& title, const QString& prompt)
{
    QInputDialog box(owner_());
    box.setInputMode(QInputDialog::TextInput);
    box.setWindowTitle(title);
    box.setLabelText(prompt);
    // The prompt is shown as it is: no markup, no mnemonics. (Asking for the
    // size lays the box out, which gives its label the field as buddy.)
    (void)box.sizeHint();
    for (QLabel* label : box.findChildren<QLabel*>()) {
        label->setTextFormat(Qt::PlainText);
        if (label->buddy())
            label->setText(escapeMnemonics(prompt));
    }
    ++open_;
    const bool accepted = box.exec() == QDialog::Accepted;
    --open_;
    if (!accepted)
        return std::nullopt;
    return box.textValue();
}

} // namespace cifrelle::ui
