// The game's one door, for those who run it (the desktop, the page, the
// replay tool, the score server's verifier): one whole run of the game, the
// game put back as a new process has it, and what its game-over screen
// shows. Nobody outside the game reads its records.
#pragma once

#include <cstdint>

namespace vexlo {

// One whole run: start-up, intro, title, play, crash, game over and
// shutdown. The process's exit status: 0 for a normal end (Escape, game
// over, the window closed), 1 when a picture is missing, the window cannot
// open or the music does not start.
int runGame();

// The highest score a run may start from: the score's wrap, past which a
// first frame would overflow.
constexpr int HighestStartScore = 1000000000;

// Reads the game's pictures with its own loader, as a run does first;
// false, with the loader's line on stderr, when one cannot be read. For a
// check before the window opens: a run reads them again.
bool loadPictures();

// Where a run starts. A new process starts as the defaults do.
struct GameStart {
    std::uint32_t randomState = 1; // the random numbers' first state
    int score = 0;                 // 0 to HighestStartScore (tests reach long-run figures with it)
};

// Puts the game's records back as a new process has them, from start (the
// traffic and the pictures runGame makes afresh itself).
void resetGame(const GameStart& start = {});

// Whether the game-over screen is on: from the update in which the crash's
// timer runs out to the end of the run.
bool gameOverOnScreen();
// The number the game-over screen shows: the score's last six digits. The
// score goes on counting once more after the screen's key.
int shownScore();
// Whether the game got past its title: a frame of play counted, or a crash
// began.
bool gamePlayed();
// The player's car as play left it: its row (0 at the top of the road) and
// its speed (1 to 5). The two are all a player's keys change in a game.
int playerRow();
int playerSpeed();

} // namespace vexlo
