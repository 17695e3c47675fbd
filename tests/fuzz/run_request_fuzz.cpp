// The parsers of what clients send, on any bytes: a run's JSON body, a
// name and its keys, the board's query, the API's paths and the admin
// routes' paths, bodies and tokens. None may crash, and a run taken has a
// name that passes its own check and keys the reader takes.
#include "board/api/admin_request.h"
#include "board/api/query.h"
#include "board/api/run_request.h"
#include "board/api/static_files.h"
#include "board/names/player_name.h"
#include "replay/key_script.h"

#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const board::api::RunRequest run = board::api::parseRunRequest(text);
    if (run.error.empty()) {
        const board::api::CheckedName name = board::api::checkName(run.name);
        if (!name.error.empty() || name.name != run.name || run.name.empty())
            std::abort();
        std::istringstream keys(run.keys);
        replay::readKeyScript(keys, "keys"); // throws, and so fails, if it was not a script
    }
    if (board::api::checkName(text).error.empty())
        board::names::nameKeys(text);
    board::api::parseAdminPath(text);
    board::api::parseAdminBody(text, true, true);
    board::api::bearerToken(text);
    const board::api::BoardQuery query = board::api::parseBoardQuery(text);
    if (query.error.empty() && (query.limit < 1 || query.limit > 100 || query.offset < 0))
        std::abort();
    board::api::parseApiPath(text);
    board::api::percentDecode(text, true);
    return 0;
}
