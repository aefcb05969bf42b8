#include "gamesession.h"

namespace cifrelle::app {

GameSession::GameSession(const std::filesystem::path& recordDirectory)
    : files(recordDirectory)
{
    window.setHandlers(&form);
}

GameSession::~GameSession()
{
    window.setHandlers(nullptr);
}

} // namespace cifrelle::app
