// A probe loaded into an unchanged program with LD_PRELOAD: it notes when
// the program's frames reach the window, for bench/measure-game.sh.
//
//   VEXLO_PROBE_LOG=FILE LD_PRELOAD=.../libpresent_probe.so PROGRAM
//
// FILE gets one line per event, each with the CLOCK_MONOTONIC time in
// nanoseconds taken right after the event:
//   loaded T                  the probe's constructor ran (the program's
//                             libraries are loaded)
//   audio T                   Mix_OpenAudioDevice returned
//   init T FLAGS              SDL_Init or SDL_InitSubSystem returned (FLAGS in hex)
//   window T                  SDL_CreateWindow returned
//   renderer T NAME FLAGS     SDL_CreateRenderer returned a renderer
//   shown T                   SDL_ShowWindow returned
//   submit T                  SDL_RenderPresent was called: the program
//                             hands its frame over (SDL renders what it
//                             queued for the frame from here on)
//   present T                 SDL_RenderPresent returned: the frame is
//                             with the window system
// A program that draws into the window's own surface instead shows its
// frames with SDL_UpdateWindowSurface or SDL_UpdateWindowSurfaceRects;
// those give the same submit and present lines.
//
// The calls are passed on to SDL unchanged. A line is written with one
// write() as it happens, so nothing is lost when the program is killed;
// that costs a few microseconds a frame, the same in every program probed.
#include <SDL.h>

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {

int logFd = -1;

long long monotonicNs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<long long>(t.tv_sec) * 1'000'000'000LL + t.tv_nsec;
}

void writeLine(const char* text, int length) {
    if (logFd < 0 || length <= 0)
        return;
    // A short write to a local file does not happen; a failed one is lost.
    if (write(logFd, text, static_cast<size_t>(length)) < 0)
        return;
}

void note(const char* event, long long when) {
    char line[64];
    writeLine(line, std::snprintf(line, sizeof line, "%s %lld\n", event, when));
}

template <typename Function>
Function next(const char* name) {
    void* found = dlsym(RTLD_NEXT, name);
    if (found == nullptr) {
        std::fprintf(stderr, "present_probe: %s not found\n", name);
        std::abort();
    }
    return reinterpret_cast<Function>(found);
}

// One frame is one line pair, however the calls nest (SDL's software
// renderer presents through the window's surface; the whole-surface update
// may go through the one with rectangles).
thread_local int presenting = 0;

struct Presenting {
    Presenting() { ++presenting; }
    ~Presenting() { --presenting; }
    Presenting(const Presenting&) = delete;
    Presenting& operator=(const Presenting&) = delete;
    void submit() const {
        if (presenting == 1)
            note("submit", monotonicNs());
    }
    void presented() const {
        if (presenting == 1)
            note("present", monotonicNs());
    }
};

__attribute__((constructor)) void openLog() {
    const long long now = monotonicNs();
    const char* path = std::getenv("VEXLO_PROBE_LOG");
    if (path == nullptr || *path == '\0')
        return;
    logFd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0644);
    note("loaded", now);
}

} // namespace

extern "C" {

void SDL_RenderPresent(SDL_Renderer* renderer) {
    static const auto real = next<void (*)(SDL_Renderer*)>("SDL_RenderPresent");
    const Presenting once;
    once.submit();
    real(renderer);
    once.presented();
}

int SDL_UpdateWindowSurface(SDL_Window* window) {
    static const auto real = next<int (*)(SDL_Window*)>("SDL_UpdateWindowSurface");
    const Presenting once;
    once.submit();
    const int result = real(window);
    once.presented();
    return result;
}

int SDL_UpdateWindowSurfaceRects(SDL_Window* window, const SDL_Rect* rects, int count) {
    static const auto real = next<int (*)(SDL_Window*, const SDL_Rect*, int)>("SDL_UpdateWindowSurfaceRects");
    const Presenting once;
    once.submit();
    const int result = real(window, rects, count);
    once.presented();
    return result;
}

void SDL_ShowWindow(SDL_Window* window) {
    static const auto real = next<void (*)(SDL_Window*)>("SDL_ShowWindow");
    real(window);
    note("shown", monotonicNs());
}

int SDL_Init(Uint32 flags) {
    static const auto real = next<int (*)(Uint32)>("SDL_Init");
    const int result = real(flags);
    char line[64];
    writeLine(line, std::snprintf(line, sizeof line, "init %lld %x\n", monotonicNs(), flags));
    return result;
}

int SDL_InitSubSystem(Uint32 flags) {
    static const auto real = next<int (*)(Uint32)>("SDL_InitSubSystem");
    const int result = real(flags);
    char line[64];
    writeLine(line, std::snprintf(line, sizeof line, "init %lld %x\n", monotonicNs(), flags));
    return result;
}

SDL_Window* SDL_CreateWindow(const char* title, int x, int y, int w, int h, Uint32 flags) {
    static const auto real = next<SDL_Window* (*)(const char*, int, int, int, int, Uint32)>("SDL_CreateWindow");
    SDL_Window* window = real(title, x, y, w, h, flags);
    note("window", monotonicNs());
    return window;
}

// SDL_mixer's, declared here so that the probe needs only SDL's headers.
int Mix_OpenAudioDevice(int frequency, Uint16 format, int channels, int chunksize, const char* device,
                        int allowedChanges) {
    static const auto real = next<int (*)(int, Uint16, int, int, const char*, int)>("Mix_OpenAudioDevice");
    const int result = real(frequency, format, channels, chunksize, device, allowedChanges);
    note("audio", monotonicNs());
    return result;
}

SDL_Renderer* SDL_CreateRenderer(SDL_Window* window, int index, Uint32 flags) {
    static const auto real = next<SDL_Renderer* (*)(SDL_Window*, int, Uint32)>("SDL_CreateRenderer");
    SDL_Renderer* renderer = real(window, index, flags);
    SDL_RendererInfo info{};
    if (renderer != nullptr && SDL_GetRendererInfo(renderer, &info) == 0) {
        char line[160];
        writeLine(line, std::snprintf(line, sizeof line, "renderer %lld %s %s\n", monotonicNs(), info.name,
                                      (info.flags & SDL_RENDERER_SOFTWARE) != 0 ? "software" : "accelerated"));
    }
    return renderer;
}

} // extern "C"
