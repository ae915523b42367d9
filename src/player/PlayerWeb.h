#pragma once

#include "web/WebServer.h"

#include <memory>

class PlayerStatus;
class ShowControl;
struct PlayerOptions;

// The player's web page when --web asks for it, for an effect and a show alike: started before
// anything plays, its address with the key announced on stderr (a unit's journal) and as a QR
// code. False when the page was asked for and cannot be served (a port in use): the error is
// said, and the player ends like on a bad command line.
bool startPlayerWeb(ShowControl& show, const PlayerOptions& options, PlayerStatus& status,
                    std::unique_ptr<WebServer>& web);
