#include "display/sdl/presenter.h"

#include "ptc/ptc.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace ptc::sdl {

std::unique_ptr<Presenter> makeRendererPresenter(SDL_Renderer* renderer, Aspect aspect);
std::unique_ptr<Presenter> makeSurfacePresenter(SDL_Window* window, Aspect aspect);

namespace {

// A graphics card the system can draw with: a render node, or the
// proprietary driver's device. Without one, any OpenGL is Mesa drawing on
// the processor, and there is no point paying for its start.
bool graphicsCardPresent() {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/dev/dri", error))
        if (entry.path().filename().string().rfind("renderD", 0) == 0)
            return true;
    return std::filesystem::exists("/dev/nvidia0", error);
}

std::string lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

// Whether the renderer draws on a graphics card: neither SDL's software
// renderer nor an OpenGL that draws on the processor.
bool drawsOnGraphicsCard(SDL_Renderer* renderer) {
    SDL_RendererInfo info;
    if (SDL_GetRendererInfo(renderer, &info) != 0 || (info.flags & SDL_RENDERER_SOFTWARE) != 0)
        return false;
    if (lowered(info.name).rfind("opengl", 0) != 0)
        return true;
    // The renderer's context is current: ask OpenGL who draws.
    using GetString = const unsigned char* (*)(unsigned int);
    constexpr unsigned int GlRenderer = 0x1F01;
    const auto getString = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
    const unsigned char* name = getString != nullptr ? getString(GlRenderer) : nullptr;
    if (name == nullptr)
        return false;
    const std::string drawer = lowered(reinterpret_cast<const char*>(name));
    for (const char* processor : {"llvmpipe", "softpipe", "software", "swrast"})
        if (drawer.find(processor) != std::string::npos)
            return false;
    return true;
}

// SDL's own renderer on the processor: where nothing better can be had.
std::unique_ptr<Presenter> softwareRenderer(SDL_Window* window, Aspect aspect) {
    SDL_Renderer* renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE | SDL_RENDERER_TARGETTEXTURE);
    if (renderer == nullptr)
        throw DynamicError(std::string("cannot create a renderer: ") + SDL_GetError());
    return makeRendererPresenter(renderer, aspect);
}

} // namespace

std::optional<Scaling> scalingFromEnvironment() {
    const char* value = std::getenv("VEXLO_SCALING");
    const std::string text = value != nullptr ? value : "";
    if (text == "renderer")
        return Scaling::Renderer;
    if (text == "processor")
        return Scaling::Processor;
    return std::nullopt;
}

std::unique_ptr<Presenter> makePresenter(SDL_Window* window, Aspect aspect) {
    const std::optional<Scaling> forced = scalingFromEnvironment();
    if (forced == Scaling::Renderer || (!forced && graphicsCardPresent())) {
        SDL_Renderer* renderer = SDL_CreateRenderer(
            window, -1, SDL_RENDERER_ACCELERATED | SDL_RENDERER_PRESENTVSYNC | SDL_RENDERER_TARGETTEXTURE);
        if (renderer != nullptr && (forced || drawsOnGraphicsCard(renderer)))
            return makeRendererPresenter(renderer, aspect);
        if (renderer != nullptr)
            SDL_DestroyRenderer(renderer);
        if (forced)
            return softwareRenderer(window, aspect);
    }
    if (auto presenter = makeSurfacePresenter(window, aspect))
        return presenter;
    return softwareRenderer(window, aspect);
}

} // namespace ptc::sdl
