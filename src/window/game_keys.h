// Between the player's keys and the game: which keys the window keeps for
// itself (pause and mute), at which update each key reaches the game and
// what a recording writes for it, and, while a recorded game is watched,
// the recorded keys in place of the player's.
//
// A recording must replay exactly as the replay tool plays key scripts:
// there a key written for update U waits right after the U-th update, a
// check for waiting keys sees it from then on, and a blocking read takes
// the next key at once, whenever it is due. So a key the game found by a
// check is written with the update of that check; a key taken by a wait
// (the title's, the game-over screen's) that no check saw is written one
// update later than the wait, so that the check just before the wait does
// not see it; and, while recording, no check reports a key before that
// update, which keeps the written updates in the order the keys were taken
// (a key pressed with the one that ended the wait reaches play an update
// later than it would unrecorded: the script could not say otherwise).
//
// P, the Pause key and M belong to the window once the game is being
// played (past the title's wait), when the game checks for keys; in a
// blocking wait, and on the title, they are keys like any other. While a
// game is watched, every key of the player's is the window's: P, Pause and
// M as in play, Escape to stop watching, the rest ignored.
#pragma once

#include "ptc/ptc.h"
#include "replay/key_script.h"
#include "replay/scripted_keys.h"

#include <deque>
#include <functional>
#include <optional>
#include <vector>

namespace ptc::window {

enum class WindowCommand { None, Pause, Mute, Close };

class GameKeys {
public:
    // Playing: the player's keys go to the game.
    GameKeys() = default;
    // Watching: the recorded keys go to the game instead.
    explicit GameKeys(std::vector<replay::ScriptedKey> watched);

    bool watching() const { return watching_; }
    // Past the title's wait: the game is being played.
    bool inPlay() const { return waitsDone_ > 0; }

    // Each key the game takes from the player, as a recording writes it;
    // set when recording.
    std::function<void(const replay::ScriptedKey&)> onTaken;

    struct Poll {
        WindowCommand command = WindowCommand::None;
        bool keyWaits = false;
    };
    // Display::keyPressed after `updates` updates. A window key at the
    // front of the queue is taken off and returned on its own: act on it
    // and ask again.
    Poll poll(long updates, std::deque<KeyEvent>& queue);

    struct Take {
        WindowCommand command = WindowCommand::None;
        std::optional<KeyEvent> key;
        bool scriptEnded = false; // watching, and no recorded key is left
    };
    // Display::read: the key for the game, or a window command, or nothing
    // yet (wait for events and ask again).
    Take take(long updates, std::deque<KeyEvent>& queue);
    // Whether the read under way is a wait: the game did not find a key
    // waiting first.
    bool readIsWait() const { return !announced_; }

    // While paused: the next window command among the player's keys, whose
    // others are dropped. Escape in play resumes and is left for the game.
    WindowCommand whilePaused(std::deque<KeyEvent>& queue);

private:
    WindowCommand fromPlayer(std::deque<KeyEvent>& queue);
    void tookKey();

    bool watching_ = false;
    replay::ScriptedKeys watched_;

    long waitsDone_ = 0;
    bool announced_ = false;        // the last poll reported a key
    std::optional<long> frontSeen_; // when a poll first saw the front key
    long lastWritten_ = 0;          // the latest update written for a key
};

} // namespace ptc::window
