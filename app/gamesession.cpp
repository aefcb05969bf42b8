// SPDX-License-Identifier: GPL-3.0-or-later
#include "gamesession.h"

#include "cifrelle/ui/qt/qtaccessibility.h"

#include <QWidget>

namespace cifrelle::app {

GameSession::GameSession(records::RecordFolder recordFolder) : files(std::move(recordFolder))
{
    window.setHandlers(&form);
    // Where-am-I in the answer box tells the exercise and the time left,
    // then what the box is for (once the window has built its controls).
    QObject::connect(&window, &ui::Form1Window::controlsBuilt, &window, [this] {
        QWidget* answer = window.control(ui::Control::txtmio);
        ui::setDescriptionSource(answer, [this, answer] {
            return QString::fromStdString(form.whereAmI()) + QStringLiteral(". ") +
                   answer->toolTip();
        });
    });
}

GameSession::~GameSession()
{
    window.setHandlers(nullptr);
}

} // namespace cifrelle::app
