// SPDX-License-Identifier: GPL-3.0-or-later
#include "gamesession.h"

#include "cifrelle/ui/qt/qtaccessibility.h"

#include <QTimer>
#include <QWidget>

namespace cifrelle::app {

namespace {

std::unique_ptr<records::RecordStore>
recordStore(records::RecordFolder folder, std::optional<keeper::KeeperCommand> keeperCommand)
{
    if (folder.guarded) {
        return std::make_unique<keeper::KeeperClient>(std::move(folder),
                                                      keeperCommand ? std::move(*keeperCommand)
                                                                    : keeper::installedKeeper());
    }
    return std::make_unique<records::RecordFiles>(std::move(folder));
}

} // namespace

GameSession::GameSession(records::RecordFolder recordFolder,
                         std::optional<keeper::KeeperCommand> keeperCommand)
    : files(recordStore(std::move(recordFolder), std::move(keeperCommand)))
{
}

ui::Form1Window& GameSession::window()
{
    if (window_)
        return *window_;
    ui::Form1Window& made = window_.emplace();
    made.timer()->setInterval(tickIntervalMs);
    made.setHandlers(&form);
    // Where-am-I in the answer box tells the exercise and the time left,
    // then what the box is for (once the window has built its controls).
    QObject::connect(&made, &ui::Form1Window::controlsBuilt, &made, [this] {
        QWidget* answer = window_->control(ui::Control::txtmio);
        ui::setDescriptionSource(answer, [this, answer] {
            return QString::fromStdString(form.whereAmI()) + QStringLiteral(". ") +
                   answer->toolTip();
        });
    });
    return made;
}

GameSession::~GameSession()
{
    if (window_)
        window_->setHandlers(nullptr);
}

} // namespace cifrelle::app
