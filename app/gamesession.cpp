#include "gamesession.h"

namespace cifrelle::app {

GameSession::GameSession(records::RecordFolder recordFolder)
    : files(std::move(recordFolder))
{
    window.setHandlers(&form);
}

GameSession::~GameSession()
{
    window.setHandlers(nullptr);
}

} // namespace cifrelle::app
