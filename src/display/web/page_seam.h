// Everything that crosses between the page (src/launch/web/page/) and the
// module, one line each. The page calls the exports as Module._NAME; the
// module calls the page's object, Module.page, through the callbacks. The
// sound has a seam of its own, Module.sound (sound/back_end/web/web_back_end.cpp).
#pragma once

#include <cstdint>

// --- Exports: the page calls these. ---
extern "C" {
// One game with the player's keys; its end comes as page.gameEnded.      (launch/web/main.cpp)
int vexlo_play(int recording);
// A recorded game watched at its pace; 2 for a script it cannot read.     (launch/web/main.cpp)
int vexlo_watch(const char* script, int recording);
// The replay hook: a key script played unpaced; its end is page.replayDone. (launch/web/main.cpp)
int vexlo_replay(const char* script);
// Where the picture goes in an area of width x height: six numbers.       (launch/web/main.cpp)
const int* vexlo_web_place(int width, int height, double ratio);
// A key the player pressed (repeats included, flagged).                    (display/web/live_page.cpp)
void vexlo_web_key(int code, int shift, int alt, int control, int repeat);
// The page lost the player's attention: a game in play pauses.            (display/web/live_page.cpp)
void vexlo_web_focus_lost();
// Whether a key now would start something rather than steer.              (display/web/live_page.cpp)
int vexlo_web_waits_for_key();
// Ends the game of the moment, as a window's close button does.           (display/web/live_page.cpp)
void vexlo_web_close();
}

// --- Callbacks: the module calls Module.page's members through these. ---
namespace ptc::web::page {
void present(const std::uint8_t* rgba, int width, int height);      // present: a picture for the canvas, as RGBA
void updated(long update);                                          // updated: the player's game made an update
void keyArrival(int ms);                                            // keyArrival: waits for a key, or ms
void message(const char* caption, const char* text);                // message: a box, until it is dismissed
void report(const char* text);                                      // report: why the game stopped
void open(const char* title);                                       // open: a display opens
void close();                                                       // close: it closes
void replayDone(const char* frames, const char* sound, int status); // replayDone: the replay hook's files
void recordDone(const char* frames, const char* keys);              // recordDone: a #record game's frames and keys
void gameEnded(int status, bool gameOver, int score, const char* keys); // gameEnded: a player's game's end
} // namespace ptc::web::page
