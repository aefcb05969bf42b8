// SPDX-License-Identifier: GPL-3.0-or-later
#include "stayingbox.h"

#include <QAbstractButton>
#include <QDialogButtonBox>
#include <QEventLoop>

namespace cifrelle::ui {

StayingBox::StayingBox(Icon icon, const QString& title, const QString& text, QWidget* parent)
    : QMessageBox(icon, title, text, Ok, parent)
{
    setTextFormat(Qt::PlainText);
    // The row of buttons tells the box of a click (by the mouse, a key or a
    // screen reader's press), and the box then hides: the row is kept
    // silent, and the click heard from the button itself. (If the button
    // is in no such row, the box closes when answered, as any box does.)
    QAbstractButton* ok = button(Ok);
    if (auto* row = qobject_cast<QDialogButtonBox*>(ok->parentWidget())) {
        row->blockSignals(true);
        connect(ok, &QAbstractButton::clicked, this, &StayingBox::answered);
    }
    connect(this, &QDialog::finished, this, &StayingBox::answered);
}

void StayingBox::ask()
{
    setAttribute(Qt::WA_ShowModal, true);
    show();
    QEventLoop loop;
    loop_ = &loop;
    loop.exec(QEventLoop::DialogExec);
    loop_ = nullptr;
}

void StayingBox::answered()
{
    if (loop_)
        loop_->quit();
}

} // namespace cifrelle::ui
