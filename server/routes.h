#pragma once
// The server's requests: the score question and submission (points and time
// variants), the leaderboard at "/" and the driver help page.
#include "store.h"

namespace httplib { class Server; }

namespace scored {

void installRoutes(httplib::Server &server, Store &store);

} // namespace scored
