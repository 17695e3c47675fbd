// Keeps a BoardCache in step with the database: LISTEN on the channel the
// workers notify when a run is verified, pages dropped at each notification,
// and no pages kept while the connection is down.
#pragma once

#include "board/api/board_cache.h"

#include <atomic>
#include <string>

namespace board::api {

// Runs until stop is set (within half a second).
void listenForBoardChanges(const std::string& databaseUrl, BoardCache& cache, const std::atomic<bool>& stop);

} // namespace board::api
