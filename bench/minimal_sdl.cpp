// The least a program must do to look and sound like the game: a window
// showing a 320 x 200 streaming texture stretched over it, crisp, 70
// frames a second on a deadline schedule, while the game's module plays
// through SDL2_mixer and libopenmpt. bench/measure-game.sh runs it beside
// the game as the floor for the game's processor time and memory.
//
//   minimal_sdl [--size WIDTHxHEIGHT] [--seconds N] [MODULE]
//
// Without --size the window takes the largest whole multiple of 320 x 200
// that fits the desktop; MODULE defaults to data/vexlo.xm. It runs until
// the window is closed, SIGINT or SIGTERM arrives, or N seconds have
// passed. The sound goes wherever SDL's audio goes (SDL_AUDIODRIVER=dummy
// plays it nowhere, at the real pace).
#include "window/frame_pacer.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <libopenmpt/libopenmpt.hpp>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int Width = 320;
constexpr int Height = 200;
constexpr int MixRate = 44100;

int fail(const char* what) {
    std::fprintf(stderr, "minimal_sdl: %s: %s\n", what, SDL_GetError());
    return 1;
}

// Runs on SDL's audio thread.
void renderModule(void* module, Uint8* stream, int length) {
    auto* out = reinterpret_cast<std::int16_t*>(stream);
    const std::size_t frames = static_cast<std::size_t>(length) / 4;
    const std::size_t done = static_cast<openmpt::module*>(module)->read_interleaved_stereo(MixRate, frames, out);
    std::memset(stream + done * 4, 0, static_cast<std::size_t>(length) - done * 4);
}

} // namespace

int main(int argc, char** argv) {
    std::string modulePath = "data/vexlo.xm";
    int windowWidth = 0, windowHeight = 0;
    double seconds = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--size" && i + 1 < argc) {
            if (std::sscanf(argv[++i], "%dx%d", &windowWidth, &windowHeight) != 2) {
                std::fprintf(stderr, "minimal_sdl: --size takes WIDTHxHEIGHT\n");
                return 2;
            }
        } else if (arg == "--seconds" && i + 1 < argc) {
            seconds = std::atof(argv[++i]);
        } else if (!arg.empty() && arg[0] != '-') {
            modulePath = arg;
        } else {
            std::fprintf(stderr, "usage: minimal_sdl [--size WIDTHxHEIGHT] [--seconds N] [MODULE]\n");
            return 2;
        }
    }

    std::ifstream file(modulePath, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (bytes.empty()) {
        std::fprintf(stderr, "minimal_sdl: cannot read %s\n", modulePath.c_str());
        return 1;
    }
    openmpt::module module(bytes);
    module.set_repeat_count(-1);

    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_AUDIO | SDL_INIT_EVENTS) != 0)
        return fail("SDL_Init");
    // The same device settings as the game's sound layer.
    if (Mix_OpenAudioDevice(MixRate, AUDIO_S16SYS, 2, 1024, nullptr, 0) != 0)
        return fail("Mix_OpenAudioDevice");
    Mix_HookMusic(renderModule, &module);

    if (windowWidth <= 0 || windowHeight <= 0) {
        SDL_Rect usable{0, 0, Width, Height};
        SDL_GetDisplayUsableBounds(0, &usable);
        const int scale = std::max(1, std::min(usable.w / Width, usable.h / Height));
        windowWidth = Width * scale;
        windowHeight = Height * scale;
    }
    SDL_Window* window = SDL_CreateWindow("minimal_sdl", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, windowWidth,
                                          windowHeight, SDL_WINDOW_RESIZABLE);
    if (window == nullptr)
        return fail("SDL_CreateWindow");
    SDL_Renderer* renderer = SDL_CreateRenderer(window, -1, 0);
    if (renderer == nullptr)
        return fail("SDL_CreateRenderer");
    SDL_Texture* texture =
        SDL_CreateTexture(renderer, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING, Width, Height);
    if (texture == nullptr)
        return fail("SDL_CreateTexture");
    SDL_SetTextureScaleMode(texture, SDL_ScaleModeNearest);

    // Paced by the game's own schedule: wait for the slot, present. Unlike the game's window it presents every frame, even
    // when the schedule would leave it off the screen: the plain way.
    using Clock = ptc::window::FramePacer::Clock;
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(Width) * Height);
    const Clock::time_point end =
        Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    ptc::window::FramePacer pacer;
    for (std::uint32_t frame = 1;; ++frame) {
        // A picture that changes every frame, as the game's does.
        std::fill(pixels.begin(), pixels.end(), frame * 0x010203u);
        SDL_UpdateTexture(texture, nullptr, pixels.data(), Width * 4);

        const Clock::time_point now = Clock::now();
        const Clock::time_point due = pacer.next(now).due;
        if (due > now)
            std::this_thread::sleep_until(due);
        SDL_RenderClear(renderer);
        SDL_RenderCopy(renderer, texture, nullptr, nullptr);
        SDL_RenderPresent(renderer);

        SDL_Event event;
        while (SDL_PollEvent(&event) != 0)
            if (event.type == SDL_QUIT)
                seconds = -1;
        if (seconds < 0 || (seconds > 0 && Clock::now() >= end))
            break;
    }

    Mix_HookMusic(nullptr, nullptr);
    Mix_CloseAudio();
    SDL_DestroyTexture(texture);
    SDL_DestroyRenderer(renderer);
    SDL_DestroyWindow(window);
    SDL_Quit();
    return 0;
}
