// One whole run of the game: start-up, intro, title, play, crash, game over
// and shutdown.
#pragma once

namespace vexlo {

// The process's exit status: 0 for a normal end (Escape, game over, the
// window closed), 1 when a picture is missing, the window cannot open or
// the music does not start.
int runGame();

} // namespace vexlo
