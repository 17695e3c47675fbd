#include "window/comforts.h"

#include "window/pause_picture.h"
#include "window/watch_bar.h"

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
    watch_ = WatchSpeed(setUp_.watchSpeed, setUp_.watchPlan);
    updates_ = 0;
    toldState_.reset();
    if (keys_.watching()) {
        soundHeard();
        tellWatchState();
    }
}

Aspect Comforts::aspect() const { return setUp_.aspect.value_or(aspectFromEnvironment()); }

std::string Comforts::title(const std::string& gameTitle) const {
    return setUp_.titleWords.empty() ? gameTitle : "Vexlo Race \u2014 " + setUp_.titleWords;
}

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

bool Comforts::keyPressed(ComfortsWindow& window, long updates, KeyQueue& queue) {
    updates_ = updates;
    for (;;) {
        if (pauseWanted_)
            pause(window, queue);
        const GameKeys::Poll poll = keys_.poll(updates, queue);
        if (poll.command == WindowCommand::None)
            return poll.keyWaits;
        act(window, poll.command, queue);
    }
}

KeyEvent Comforts::read(ComfortsWindow& window, long updates, KeyQueue& queue) {
    updates_ = updates;
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

WatchSpeed::Pace Comforts::pace(ComfortsWindow& window, long updates) {
    updates_ = updates;
    if (!keys_.watching())
        return {};
    const WatchSpeed::Pace pace = watch_.pace(updates);
    if (!pace.unpaced && toldState_ && toldState_->skipping) {
        // The skip has arrived: from here on at the chosen speed, heard at
        // the game's own pace.
        window.restartPace();
        soundHeard();
    }
    tellWatchState();
    return pace;
}

const std::uint32_t* Comforts::shown(const std::uint32_t* frame, long updates) {
    if (!keys_.watching() || !setUp_.watchBar)
        return frame;
    withBar_.resize(static_cast<std::size_t>(DisplayWidth) * DisplayHeight);
    drawWatchBar(frame, withBar_.data(), watch_.state(updates));
    return withBar_.data();
}

void Comforts::act(ComfortsWindow& window, WindowCommand command, KeyQueue& queue) {
    switch (command) {
    case WindowCommand::Pause:
        pause(window, queue);
        break;
    case WindowCommand::Mute:
        toggleMute();
        break;
    case WindowCommand::Close:
        closeNow(window);
    case WindowCommand::Speed1:
    case WindowCommand::Speed2:
    case WindowCommand::Speed4:
    case WindowCommand::Speed8:
    case WindowCommand::Skip:
        watchCommand(window, command);
        break;
    case WindowCommand::None:
        break;
    }
}

void Comforts::watchCommand(ComfortsWindow& window, WindowCommand command) {
    if (!keys_.watching())
        return;
    if (command == WindowCommand::Skip) {
        watch_.skip(updates_);
    } else {
        watch_.setSpeed(speedAskedBy(command));
        window.restartPace();
    }
    soundHeard();
    tellWatchState();
}

void Comforts::soundHeard() {
    if (setUp_.muteChanged)
        setUp_.muteChanged(muted_ || (keys_.watching() && !watch_.audible()));
}

void Comforts::tellWatchState() {
    WatchState now = watch_.state(updates_);
    // The count of updates changes at every one: it is told only with a
    // change of the rest.
    WatchState compared = now;
    compared.updates = 0;
    if (toldState_ == compared)
        return;
    toldState_ = compared;
    if (setUp_.watchChanged)
        setUp_.watchChanged(now);
}

// No update passes until the player goes on: the game is held in the call
// that found the pause.
void Comforts::pause(ComfortsWindow& window, KeyQueue& queue) {
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
        else if (command != WindowCommand::None)
            watchCommand(window, command);
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

void Comforts::holdForWatcher(ComfortsWindow& window, KeyQueue& queue) {
    using Clock = std::chrono::steady_clock;
    // The hold is as long as the speed of the moment says: a faster speed
    // or a skip asked for meanwhile shortens it.
    auto since = Clock::now();
    while (Clock::now() < since + watch_.hold(WatchHold)) {
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
            since = Clock::now();
    }
}

void Comforts::toggleMute() {
    muted_ = !muted_;
    soundHeard();
}

} // namespace ptc::window
