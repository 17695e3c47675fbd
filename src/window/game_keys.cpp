#include "window/game_keys.h"

#include <algorithm>

namespace ptc::window {

namespace {

constexpr int KeyP = 'P';
constexpr int KeyM = 'M';

WindowCommand commandOf(const KeyEvent& key) {
    if (key.code() == KeyP || key.code() == KeyPause)
        return WindowCommand::Pause;
    if (key.code() == KeyM)
        return WindowCommand::Mute;
    return WindowCommand::None;
}

} // namespace

GameKeys::GameKeys(std::vector<replay::ScriptedKey> watched) : watching_(true), watched_(std::move(watched)) {}

WindowCommand GameKeys::fromPlayer(std::deque<KeyEvent>& queue) {
    while (!queue.empty()) {
        const KeyEvent key = queue.front();
        queue.pop_front();
        if (key.code() == KeyEscape)
            return WindowCommand::Close;
        if (const WindowCommand command = commandOf(key); command != WindowCommand::None)
            return command;
    }
    return WindowCommand::None;
}

GameKeys::Poll GameKeys::poll(long updates, std::deque<KeyEvent>& queue) {
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

GameKeys::Take GameKeys::take(long updates, std::deque<KeyEvent>& queue) {
    if (watching_) {
        if (const WindowCommand command = fromPlayer(queue); command != WindowCommand::None)
            return {command, {}, false};
        const std::optional<KeyEvent> key = watched_.take();
        if (!key)
            return {WindowCommand::None, {}, true};
        tookKey();
        return {WindowCommand::None, key, false};
    }
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

WindowCommand GameKeys::whilePaused(std::deque<KeyEvent>& queue) {
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
