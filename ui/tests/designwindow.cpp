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

DesignWindow::DesignWindow()
{
    installGameWindowAccessibles();
    auto* client = new QWidget(this);
    client->setObjectName(fromView(windowDesign().clientAreaName));
    client->setFixedSize(twipsToPixels(windowDesign().clientWidth),
                         twipsToPixels(windowDesign().clientHeight));
    for (const ControlDesign& d : formDesign()) {
        const QString caption = fromView(d.caption);
        QWidget* w = d.kind == Kind::TextBox  ? new QLineEdit(caption, client)
                     : d.kind == Kind::Button ? new QPushButton(caption, client)
                     : d.kind == Kind::Frame ? static_cast<QWidget*>(new QGroupBox(caption, client))
                                             : new QLabel(client);
        if (auto* label = qobject_cast<QLabel*>(w)) {
            label->setTextFormat(Qt::PlainText);
            label->setText(caption);
        }
        w->setObjectName(fromView(controlName(d.control)));
        w->setGeometry(twipsToPixels(d.left), twipsToPixels(d.top), twipsToPixels(d.width),
                       twipsToPixels(d.height));
        w->setHidden(!d.visible);
    }
    auto* timer = new QTimer(this);
    timer->setObjectName(QStringLiteral("Timer1"));
    timer->setInterval(windowDesign().timerIntervalMs);
    timer->start();
}
