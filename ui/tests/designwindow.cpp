// SPDX-License-Identifier: GPL-3.0-or-later
#include "designwindow.h"

#include "cifrelle/ui/formdesign.h"
#include "cifrelle/ui/qtaccessibility.h"
#include "cifrelle/ui/qthelpers.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

using namespace cifrelle::ui;

namespace {

QWidget* makeWidget(const ControlDesign& d, QWidget* parent)
{
    const QString caption = fromView(d.caption);
    switch (d.kind) {
    case Kind::Label: {
        auto* label = new QLabel(parent);
        label->setTextFormat(Qt::PlainText);
        label->setText(caption);
        return label;
    }
    case Kind::TextBox: return new QLineEdit(caption, parent);
    case Kind::Button: return new QPushButton(caption, parent);
    case Kind::Frame: return new QGroupBox(caption, parent);
    }
    return nullptr;
}

} // namespace

DesignWindow::DesignWindow()
{
    installGameWindowAccessibles();
    const WindowDesign& window = windowDesign();
    client_ = new QWidget(this);
    client_->setObjectName(fromView(window.clientAreaName));
    client_->setFixedSize(twipsToPixels(window.clientWidth), twipsToPixels(window.clientHeight));
    for (const ControlDesign& d : formDesign()) {
        QWidget* w = makeWidget(d, client_);
        w->setObjectName(fromView(controlName(d.control)));
        w->setGeometry(twipsToPixels(d.left), twipsToPixels(d.top), twipsToPixels(d.width),
                       twipsToPixels(d.height));
        w->setHidden(!d.visible);
        controls_[d.control] = w;
    }
    timer_ = new QTimer(this);
    timer_->setObjectName(QStringLiteral("Timer1"));
    timer_->setInterval(window.timerIntervalMs);
    timer_->start();
}
