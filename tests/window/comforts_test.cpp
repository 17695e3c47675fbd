// The window's comforts without a window: the way keys reach the game
// (game_keys.h), where a recorded game must replay exactly as the replay
// tool plays key scripts whenever the player's keys came, and the window's
// own keys never reach the game in play; and the paused picture.
#include "window/game_keys.h"
#include "window/pause_picture.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <sstream>

namespace {

using ptc::KeyEvent;
using ptc::window::GameKeys;
using ptc::window::WindowCommand;
using replay::ScriptedKey;

constexpr int Space = 32, Escape = 27, Up = 38, P = 'P', M = 'M';

// The keys as the game uses them: checks, blocking reads and updates.
struct Keys {
    virtual ~Keys() = default;
    virtual bool keyPressed() = 0;
    virtual int read() = 0;
    virtual void update() = 0;
    long updates = 0;
};

struct Taken {
    long update;
    int code;
    bool inPlay; // taken by the frame loop's check, not by a wait
    bool operator==(const Taken&) const = default;
};

// The game's use of keys, as run_game.cpp and frame_loop.cpp make it: the
// intro, the title revealed until a key waits, the title's wait, then play
// until Escape or, after `crashAt` updates, the game-over screen's wait.
std::vector<Taken> playGame(Keys& keys, long crashAt) {
    std::vector<Taken> taken;
    auto take = [&](bool inPlay) {
        const int code = keys.read();
        taken.push_back({keys.updates, code, inPlay});
        return code;
    };
    for (int i = 0; i < 70; ++i)
        keys.update();
    for (int row = 0; row < 200 && !keys.keyPressed(); ++row)
        keys.update();
    keys.update();
    if (keys.keyPressed())
        take(false);
    take(false);
    for (bool running = true; running;) {
        while (keys.keyPressed())
            running = take(true) != Escape && running;
        if (keys.updates == crashAt) {
            keys.update();
            take(false);
            running = false;
        }
        keys.update();
    }
    return taken;
}

// The window: the player's keys arrive through GameKeys as the game runs.
// Each comes at the `tick`-th call of the game's once it has made `update`
// updates; in a blocking read, where no update passes, the next key comes
// after a few calls whatever its update (the player presses keys in time,
// not in updates).
struct Window : Keys {
    struct Arrival {
        long update;
        int tick;
        int code;
        bool together = false; // pressed right after the one before, whatever its update
        bool operator<(const Arrival& o) const { return update != o.update ? update < o.update : tick < o.tick; }
    };
    GameKeys keys;
    std::deque<KeyEvent> queue;
    std::vector<Arrival> arrivals; // sorted
    std::size_t next = 0;
    int ticks = 0; // calls since the last update
    std::vector<ScriptedKey> written;

    Window() {
        keys.onTaken = [this](const ScriptedKey& k) { written.push_back(k); };
    }
    void tick(bool waiting) {
        ++ticks;
        while (next < arrivals.size() &&
               (arrivals[next].update < updates ||
                (arrivals[next].update == updates && arrivals[next].tick <= ticks) || (waiting && ticks > 5))) {
            queue.emplace_back(arrivals[next++].code, false, false, false);
            waiting = next < arrivals.size() && arrivals[next].together;
        }
    }
    bool keyPressed() override {
        tick(false);
        GameKeys::Poll poll;
        while ((poll = keys.poll(updates, queue)).command != WindowCommand::None)
            ; // paused and went on, or muted: no update passes
        return poll.keyWaits;
    }
    int read() override {
        for (;;) {
            tick(keys.readIsWait());
            const GameKeys::Take take = keys.take(updates, queue);
            if (take.key)
                return take.key->code();
            if (next >= arrivals.size() && queue.empty())
                throw std::runtime_error("no key left");
        }
    }
    void update() override {
        ticks = 0;
        tick(false);
        if (++updates > 5000)
            throw std::runtime_error("the game did not end");
    }
};

// The replay tool's headless platform, playing a key script.
struct Replay : Keys {
    replay::ScriptedKeys script;
    bool keyPressed() override { return script.waiting(updates); }
    int read() override {
        const std::optional<KeyEvent> key = script.take();
        if (!key)
            throw std::runtime_error("end of key script");
        return key->code();
    }
    void update() override { ++updates; }
};

TEST(GameKeys, ARecordingReplaysExactlyWheneverThePlayersKeysCame) {
    std::mt19937 random(13);
    const int codes[] = {Space, Up, P, M};
    auto pick = [&](int from, int to) { return std::uniform_int_distribution<int>(from, to)(random); };
    for (int game = 0; game < 500; ++game) {
        SCOPED_TRACE("game " + std::to_string(game));
        Window window;
        // A few keys from the intro to the title, some in play, and the
        // end: Escape, or a crash with keys around its game-over screen.
        const bool crash = game % 2 == 0;
        const long crashAt = crash ? 1400 : -1;
        // Or two keys at once in the title's wait, the second for play.
        if (game % 3 == 0) {
            window.arrivals.push_back({275, 0, Space});
            window.arrivals.push_back({275, 0, Up, true});
        } else {
            for (int n = pick(1, 3), at = pick(0, 290); n > 0; --n, at += pick(0, 2))
                window.arrivals.push_back({at, pick(0, 3), codes[pick(0, 3)], pick(0, 1) == 1});
        }
        for (int n = 0; n < 6; ++n)
            window.arrivals.push_back({pick(280, 1200), pick(0, 2), codes[pick(0, 3)]});
        if (crash) {
            for (int n = pick(0, 2); n > 0; --n)
                window.arrivals.push_back({pick(1398, 1400), pick(0, 3), codes[pick(0, 3)]});
            window.arrivals.push_back({1400, 9, Space});
            window.arrivals.push_back({1400, 9, Up, true});
        } else {
            window.arrivals.push_back({1300, pick(0, 2), Escape});
        }
        std::stable_sort(window.arrivals.begin(), window.arrivals.end());

        const std::vector<Taken> played = playGame(window, crashAt);
        // Through the file, as the replay tool reads it.
        std::stringstream file;
        for (const ScriptedKey& key : window.written)
            file << replay::keyScriptLine(key) << "\n";
        Replay replay;
        replay.script = replay::ScriptedKeys(replay::readKeyScript(file, "recording"));
        const std::vector<Taken> replayed = playGame(replay, crashAt);
        ASSERT_EQ(replayed, played);
        ASSERT_EQ(replay.updates, window.updates);
        // In play P and M are the window's; the title and game-over waits
        // take them like any key.
        for (const Taken& t : played)
            ASSERT_FALSE(t.inPlay && (t.code == P || t.code == M)) << t.update;
    }
}

// The rule that keeps a recording in order holds back only keys that came
// before the last one written: two keys taken in play in the same update
// both reach the game in that update, and are written with it.
TEST(GameKeys, WhileRecordingKeysOfOneUpdateReachTheGameTogether) {
    GameKeys keys;
    std::vector<ScriptedKey> written;
    keys.onTaken = [&](const ScriptedKey& k) { written.push_back(k); };
    std::deque<KeyEvent> queue{{Space, false, false, false}};
    EXPECT_EQ(keys.take(271, queue).key->code(), Space); // the title's wait
    queue = {{Up, false, false, false}, {Up, false, false, false}};
    for (int n = 0; n < 2; ++n) {
        ASSERT_TRUE(keys.poll(300, queue).keyWaits) << "key " << n;
        EXPECT_EQ(keys.take(300, queue).key->code(), Up);
    }
    EXPECT_EQ(written, (std::vector<ScriptedKey>{{272, Space}, {300, Up}, {300, Up}}));
}

TEST(GameKeys, InPlayPauseAndMuteKeysAreTheWindowsAndEscapeOutlastsAPause) {
    GameKeys keys;
    // On the title P is a key like any other, for the reveal and the wait.
    std::deque<KeyEvent> queue{{P, false, false, false}, {M, false, false, false}};
    EXPECT_TRUE(keys.poll(150, queue).keyWaits);
    EXPECT_EQ(keys.take(151, queue).key->code(), P);
    EXPECT_FALSE(keys.inPlay());
    EXPECT_EQ(keys.take(151, queue).key->code(), M); // the title's wait: now in play
    EXPECT_TRUE(keys.inPlay());
    queue = {{Up, false, false, false}, {P, false, false, false},      {'Q', false, false, false},
             {M, false, false, false},  {Escape, false, false, false}, {Up, false, false, false}};
    EXPECT_TRUE(keys.poll(305, queue).keyWaits);
    EXPECT_EQ(keys.take(305, queue).key->code(), Up);
    EXPECT_EQ(keys.poll(305, queue).command, WindowCommand::Pause);
    // Paused: other keys are dropped, M mutes, Escape goes on and stays.
    EXPECT_EQ(keys.whilePaused(queue), WindowCommand::Mute);
    EXPECT_EQ(keys.whilePaused(queue), WindowCommand::Pause);
    ASSERT_EQ(queue.size(), 2u);
    EXPECT_TRUE(keys.poll(305, queue).keyWaits);
    EXPECT_EQ(keys.take(305, queue).key->code(), Escape);
}

TEST(GameKeys, WatchingPlaysTheRecordedKeysAndKeepsOnlyTheWindowsKeysOfThePlayer) {
    GameKeys keys({{117, Space}, {119, Space}, {300, Up}});
    std::deque<KeyEvent> player{{Up, false, false, false}, {Space, false, false, false}};
    EXPECT_FALSE(keys.poll(116, player).keyWaits);
    EXPECT_TRUE(player.empty()); // the player's keys are not the game's
    EXPECT_TRUE(keys.poll(117, player).keyWaits);
    EXPECT_EQ(keys.take(118, player).key->code(), Space);
    EXPECT_TRUE(keys.readIsWait());
    EXPECT_EQ(keys.take(118, player).key->code(), Space); // a wait takes the next at once
    player = {{'A', false, false, false}, {P, false, false, false}, {M, false, false, false}};
    EXPECT_EQ(keys.poll(200, player).command, WindowCommand::Pause);
    EXPECT_EQ(keys.poll(200, player).command, WindowCommand::Mute);
    player = {{Escape, false, false, false}};
    EXPECT_EQ(keys.poll(200, player).command, WindowCommand::Close);
    EXPECT_TRUE(keys.poll(300, player).keyWaits);
    EXPECT_EQ(keys.take(300, player).key->code(), Up);
    EXPECT_TRUE(keys.take(400, player).scriptEnded);
}

TEST(PausePicture, DimsTheWholeFrameAndDrawsTheSameSignOverAnyFrame) {
    using ptc::window::PausePanel;
    constexpr int W = ptc::DisplayWidth, H = ptc::DisplayHeight;
    std::vector<std::uint32_t> a(W * H), b(W * H, 0xFFFFFFu), outA(W * H), outB(W * H);
    for (int i = 0; i < W * H; ++i)
        a[i] = static_cast<std::uint32_t>(i) * 2654435761u & 0xFFFFFFu;
    ptc::window::drawPausePicture(a.data(), outA.data());
    ptc::window::drawPausePicture(b.data(), outB.data());
    int bright = 0;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const int i = y * W + x;
            const bool onPanel = x >= PausePanel::X && x < PausePanel::X + PausePanel::Width &&
                                 y >= PausePanel::Y && y < PausePanel::Y + PausePanel::Height;
            if (!onPanel) {
                ASSERT_EQ(outA[i], ptc::window::dimmed(a[i])) << x << "," << y;
                ASSERT_LE(outB[i] & 0xFF, 0x60u); // white dims to under half
                continue;
            }
            ASSERT_EQ(outA[i], outB[i]) << x << "," << y;
            bright += outA[i] == 0xFFFFFFu ? 1 : 0;
        }
    EXPECT_GT(bright, 400); // the bars and the word
}

} // namespace
