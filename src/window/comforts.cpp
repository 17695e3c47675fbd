#include "window/comforts.h"

#include "window/pause_picture.h"

#include <chrono>

namespace ptc::window {

namespace {

// How long a watched game's title and game-over screens stand before the
// recorded key that ended them: the recording knows only that time passed.
constexpr auto WatchHold = std::chrono::milliseconds(1500);

ComfortsSetUp& currentSetUp() {
    static ComfortsSetUp setUp;
    return setUp;
}

std::optional<WindowEnd>& lastEnd() {
    static std::optional<WindowEnd> end;
    return end;
}

// Closing throws Closed from the window.
[[noreturn]] void closeNow(ComfortsWindow& window) {
    window.requestClose();
    window.throwIfClosed();
    throw Closed();
}

} // namespace

void setUpComforts(ComfortsSetUp setUp) { currentSetUp() = std::move(setUp); }

std::optional<WindowEnd> lastWindow() { return lastEnd(); }

void Comforts::begin() {
    setUp_ = currentSetUp();
    keys_ = setUp_.watched ? GameKeys(*setUp_.watched) : GameKeys();
    keys_.onTaken = setUp_.keyTaken;
    muted_ = setUp_.muted;
    pauseWanted_ = false;
    windowedSize_ = {};
}

Aspect Comforts::aspect() const { return setUp_.aspect.value_or(aspectFromEnvironment()); }

Size Comforts::startSize(Aspect aspect, Size usable) const {
    const Size wanted = setUp_.windowSize;
    const Size smallest = shownShape(aspect);
    if (wanted.width >= smallest.width && wanted.height >= smallest.height && wanted.width <= usable.width &&
        wanted.height <= usable.height)
        return wanted;
    return fittingWindow(aspect, usable);
}

void Comforts::windowSized(bool fullscreen, Size size) {
    if (!fullscreen && size.width > 0 && size.height > 0)
        windowedSize_ = size;
}

void Comforts::focusLost() {
    if (keys_.inPlay() || keys_.watching())
        pauseWanted_ = true;
}

bool Comforts::dropsRepeat(int code) const {
    return (keys_.inPlay() || keys_.watching()) && (code == 'P' || code == 'M' || code == KeyPause);
}

bool Comforts::keyPressed(ComfortsWindow& window, long updates, std::deque<KeyEvent>& queue) {
    for (;;) {
        if (pauseWanted_)
            pause(window, queue);
        const GameKeys::Poll poll = keys_.poll(updates, queue);
        if (poll.command == WindowCommand::None)
            return poll.keyWaits;
        act(window, poll.command, queue);
    }
}

KeyEvent Comforts::read(ComfortsWindow& window, long updates, std::deque<KeyEvent>& queue) {
    if (keys_.watching() && keys_.readIsWait())
        holdForWatcher(window, queue);
    for (;;) {
        const GameKeys::Take take = keys_.take(updates, queue);
        if (take.key)
            return *take.key;
        if (take.scriptEnded)
            closeNow(window); // the recording ends here, and so does watching it
        if (take.command != WindowCommand::None)
            act(window, take.command, queue);
        else
            window.waitForEvents();
        window.throwIfClosed();
    }
}

void Comforts::end(bool fullscreen, Aspect aspect) {
    lastEnd() = WindowEnd{fullscreen, windowedSize_, aspect, muted_};
}

void Comforts::act(ComfortsWindow& window, WindowCommand command, std::deque<KeyEvent>& queue) {
    switch (command) {
    case WindowCommand::Pause:
        pause(window, queue);
        break;
    case WindowCommand::Mute:
        toggleMute();
        break;
    case WindowCommand::Close:
        closeNow(window);
    case WindowCommand::None:
        break;
    }
}

// No update passes until the player goes on: the game is held in the call
// that found the pause.
void Comforts::pause(ComfortsWindow& window, std::deque<KeyEvent>& queue) {
    pauseWanted_ = false;
    if (setUp_.pauseChanged)
        setUp_.pauseChanged(true);
    std::vector<std::uint32_t> picture(static_cast<std::size_t>(DisplayWidth) * DisplayHeight);
    drawPausePicture(window.lastFrame(), picture.data());
    window.showInstead(picture.data());
    for (;;) {
        window.throwIfClosed();
        const WindowCommand command = keys_.whilePaused(queue);
        if (command == WindowCommand::Pause)
            break;
        if (command == WindowCommand::Mute)
            toggleMute();
        else if (command == WindowCommand::Close)
            closeNow(window);
        else
            window.waitForEvents();
    }
    // A focus lost while paused is not a reason to pause again.
    pauseWanted_ = false;
    window.showInstead(nullptr);
    window.restartPace();
    if (setUp_.pauseChanged)
        setUp_.pauseChanged(false);
}

void Comforts::holdForWatcher(ComfortsWindow& window, std::deque<KeyEvent>& queue) {
    using Clock = std::chrono::steady_clock;
    auto until = Clock::now() + WatchHold;
    while (Clock::now() < until) {
        window.throwIfClosed();
        WindowCommand command = keys_.whilePaused(queue);
        if (pauseWanted_ && command == WindowCommand::None)
            command = WindowCommand::Pause;
        if (command == WindowCommand::None) {
            window.waitForEvents();
            continue;
        }
        act(window, command, queue);
        if (command == WindowCommand::Pause)
            until = Clock::now() + WatchHold;
    }
}

void Comforts::toggleMute() {
    muted_ = !muted_;
    if (setUp_.muteChanged)
        setUp_.muteChanged(muted_);
}

} // namespace ptc::window
