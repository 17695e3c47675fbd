#include "window/game_keys.h"

#include <algorithm>

namespace ptc::window {

namespace {

constexpr int KeyP = 'P';
constexpr int KeyM = 'M';
constexpr int KeyS = 'S';

WindowCommand commandOf(const KeyEvent& key) {
    if (key.code() == KeyP || key.code() == KeyPause)
        return WindowCommand::Pause;
    if (key.code() == KeyM)
        return WindowCommand::Mute;
    return WindowCommand::None;
}

// What a key does while a game is watched.
WindowCommand watcherCommandOf(const KeyEvent& key) {
    switch (key.code()) {
    case KeyEscape:
        return WindowCommand::Close;
    case '1':
        return WindowCommand::Speed1;
    case '2':
        return WindowCommand::Speed2;
    case '4':
        return WindowCommand::Speed4;
    case '8':
        return WindowCommand::Speed8;
    case KeyS:
        return WindowCommand::Skip;
    default:
        return commandOf(key);
    }
}

} // namespace

int speedAskedBy(WindowCommand command) {
    switch (command) {
    case WindowCommand::Speed1:
        return 1;
    case WindowCommand::Speed2:
        return 2;
    case WindowCommand::Speed4:
        return 4;
    case WindowCommand::Speed8:
        return 8;
    default:
        return 0;
    }
}

GameKeys::GameKeys(std::vector<replay::ScriptedKey> watched) : watching_(true), watched_(std::move(watched)) {}

WindowCommand GameKeys::fromPlayer(KeyQueue& queue) {
    while (!queue.empty()) {
        const KeyEvent key = queue.front();
        queue.pop_front();
        if (const WindowCommand command = watcherCommandOf(key); command != WindowCommand::None)
            return command;
    }
    return WindowCommand::None;
}

GameKeys::Poll GameKeys::poll(long updates, KeyQueue& queue) {
    announced_ = false;
    if (watching_) {
        if (const WindowCommand command = fromPlayer(queue); command != WindowCommand::None)
            return {command, false};
        announced_ = watched_.waiting(updates);
        return {WindowCommand::None, announced_};
    }
    if (!queue.empty() && inPlay()) {
        if (const WindowCommand command = commandOf(queue.front()); command != WindowCommand::None) {
            queue.pop_front();
            frontSeen_.reset();
            return {command, false};
        }
    }
    if (queue.empty() || (onTaken && updates < lastWritten_))
        return {};
    if (!frontSeen_)
        frontSeen_ = updates;
    announced_ = true;
    return {WindowCommand::None, true};
}

GameKeys::Take GameKeys::take(long updates, KeyQueue& queue) {
    if (watching_) {
        if (const WindowCommand command = fromPlayer(queue); command != WindowCommand::None)
            return {command, {}, false};
        const std::optional<KeyEvent> key = watched_.take();
        if (!key)
            return {WindowCommand::None, {}, true};
        tookKey();
        return {WindowCommand::None, key, false};
    }
    // A wait: only a fresh press ends it.
    if (!announced_)
        while (!queue.empty() && queue.front().repeat)
            queue.pop_front();
    if (queue.empty())
        return {};
    const KeyEvent key = queue.front();
    queue.pop_front();
    const long written = frontSeen_ ? *frontSeen_ : updates + 1;
    frontSeen_.reset();
    lastWritten_ = std::max(lastWritten_, written);
    if (onTaken)
        onTaken(replay::ScriptedKey{written, key.code(), key.shift() != 0, key.alt() != 0, key.control() != 0});
    tookKey();
    return {WindowCommand::None, key, false};
}

void GameKeys::tookKey() {
    if (!announced_)
        ++waitsDone_;
    announced_ = false;
}

WindowCommand GameKeys::whilePaused(KeyQueue& queue) {
    if (watching_)
        return fromPlayer(queue);
    while (!queue.empty()) {
        const KeyEvent key = queue.front();
        if (key.code() == KeyEscape)
            return WindowCommand::Pause; // resumes; the game then reads Escape
        queue.pop_front();
        frontSeen_.reset();
        if (const WindowCommand command = commandOf(key); command != WindowCommand::None)
            return command;
    }
    return WindowCommand::None;
}

} // namespace ptc::window
