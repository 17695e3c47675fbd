// What the game window tests read off the screen and the speakers:
//
//   window_check sample IN WIDTH HEIGHT OUT
//       IN holds WIDTH x HEIGHT pixels grabbed from the picture's place in
//       the window (4 bytes each, 0x00RRGGBB lowest byte first, as x11_tool
//       grab and the replay tool's --dump write them). Writes to OUT the
//       320 x 200 picture as shown: the middle pixel of each picture pixel's
//       block. At a whole multiple each block must be of one colour.
//   window_check describe FRAME
//       What a 320 x 200 frame shows, as words "name=value" on one line:
//         screen=black|reveal|title|play|gameover|other
//         rows=R        (reveal) the title's rows 0 .. R-1 above black
//         score=N       (play) the six digits at the top right, under the label
//         road=K        (play) the road's scroll, 0 .. 39, read off the road
//         player=car:Y|explosion1:Y|explosion2:Y|explosion3:Y|none
//                       (play) the player's picture at column 10, row Y
//         final=N       (gameover) the score on the game-over picture
//       Run it where data/ is: it reads the game's own pictures.
//   window_check same A B
//       Prints how many in a hundred of the pixels of two 320 x 200 frames
//       are the same (rounded down).
//   window_check paused FRAME OUT
//       Writes to OUT the picture the window shows while the game is
//       paused on FRAME (a 320 x 200 frame, as above).
//   window_check levels FILE MS
//       FILE holds 16-bit stereo samples at 44.1 kHz (SDL's disk audio
//       output). Prints one line "START_MS RMS" per MS milliseconds, RMS of
//       both channels as a fraction of full scale.
//   window_check find SOUND FILE
//       Where in FILE (as above) the start of the sound file SOUND plays,
//       mixed with whatever else: prints "best MS CORRELATION" for the
//       place that matches best and "next MS CORRELATION" for the best
//       place at least a second away from it. The correlation is
//       normalised: near 1 where the sound stands out clearly, near 0 where
//       it is absent.
#include "window_check.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace window_check {

[[noreturn]] void die(const std::string& why) {
    std::fprintf(stderr, "window_check: %s\n", why.c_str());
    std::exit(1);
}

namespace {

int number(const char* text) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || value <= 0 || value > 100000)
        die(std::string("not a size: ") + text);
    return static_cast<int>(value);
}

} // namespace
} // namespace window_check

int main(int argc, char** argv) {
    using namespace window_check;
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "sample" && argc == 6)
        return sample(argv[2], number(argv[3]), number(argv[4]), argv[5]);
    if (command == "describe" && argc == 3)
        return describe(argv[2]);
    if (command == "same" && argc == 4)
        return same(argv[2], argv[3]);
    if (command == "paused" && argc == 4)
        return paused(argv[2], argv[3]);
    if (command == "levels" && argc == 4)
        return levels(argv[2], number(argv[3]));
    if (command == "find" && argc == 4)
        return find(argv[2], argv[3]);
    std::fprintf(stderr,
                 "usage: window_check sample IN WIDTH HEIGHT OUT | describe FRAME | same A B |\n"
                 "       paused FRAME OUT | levels FILE MS | find SOUND FILE\n");
    return 2;
}
