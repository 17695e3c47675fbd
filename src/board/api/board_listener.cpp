#include "board/api/board_listener.h"

#include "board/db/connection.h"

#include <thread>

namespace board::api {

void listenForBoardChanges(const std::string& databaseUrl, BoardCache& cache, const std::atomic<bool>& stop) {
    db::Connection connection(databaseUrl);
    while (!stop) {
        try {
            if (!connection.connected()) {
                connection.script("LISTEN vexlo_board");
                cache.setListening(true);
            }
            if (connection.awaitNotifications(std::chrono::milliseconds(500)))
                cache.invalidate();
        } catch (const std::runtime_error&) { // db::Unavailable or db::Error
            cache.setListening(false);
            connection.drop();
            for (int i = 0; i < 10 && !stop; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }
    cache.setListening(false);
}

} // namespace board::api
