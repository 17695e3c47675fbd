// The page's callbacks (page_seam.h): the JavaScript that calls Module.page.
#include "display/web/page_seam.h"

#include <emscripten.h>

namespace {

// The JavaScript in these is left as written: clang-format does not read it.
// clang-format off
EM_JS(void, pagePresent, (const std::uint8_t* rgba, int width, int height),
      { Module.page.present(HEAPU8.subarray(rgba, rgba + 4 * width * height), width, height); });
EM_JS(void, pageUpdated, (long update), { Module.page.updated(update); });
EM_ASYNC_JS(void, pageKeyArrival, (int ms), { await Module.page.keyArrival(ms); });
EM_ASYNC_JS(void, pageMessage, (const char* caption, const char* text),
            { await Module.page.message(UTF8ToString(caption), UTF8ToString(text)); });
EM_JS(void, pageReport, (const char* text), { Module.page.report(UTF8ToString(text)); });
EM_JS(void, pageOpen, (const char* title), { Module.page.open(UTF8ToString(title)); });
EM_JS(void, pageClose, (), { Module.page.close(); });
EM_JS(void, pageReplayDone, (const char* frames, const char* sound, int status),
      { Module.page.replayDone(UTF8ToString(frames), UTF8ToString(sound), status); });
EM_JS(void, pageRecordDone, (const char* frames, const char* keys),
      { Module.page.recordDone(UTF8ToString(frames), UTF8ToString(keys)); });
EM_JS(void, pageGameEnded, (int status, int gameOver, int score, const char* keys),
      { Module.page.gameEnded(status, gameOver !== 0, score, UTF8ToString(keys)); });
// clang-format on

} // namespace

namespace ptc::web::page {

void present(const std::uint8_t* rgba, int width, int height) { pagePresent(rgba, width, height); }
void updated(long update) { pageUpdated(update); }
void keyArrival(int ms) { pageKeyArrival(ms); }
void message(const char* caption, const char* text) { pageMessage(caption, text); }
void report(const char* text) { pageReport(text); }
void open(const char* title) { pageOpen(title); }
void close() { pageClose(); }
void replayDone(const char* frames, const char* sound, int status) { pageReplayDone(frames, sound, status); }
void recordDone(const char* frames, const char* keys) { pageRecordDone(frames, keys); }
void gameEnded(int status, bool gameOver, int score, const char* keys) {
    pageGameEnded(status, gameOver ? 1 : 0, score, keys);
}

} // namespace ptc::web::page
