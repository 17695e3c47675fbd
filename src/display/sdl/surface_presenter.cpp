// The picture scaled on the processor straight into the window's own
// surface, which SDL hands to the window system as it is: under X11 a
// shared-memory image, once the framebuffer hint keeps SDL from putting an
// OpenGL texture in between.
#include "ptc/ptc.h"
#include "window/pixel_scaler.h"
#include "display/sdl/presenter.h"
#include "display/sdl/sdl_error.h"

#include <string>

namespace ptc::sdl {

namespace {

// Whether the surface holds 32-bit 0x??RRGGBB, which is written directly.
bool takesPicturePixels(const SDL_Surface* surface) {
    const SDL_PixelFormat* f = surface->format;
    return f->BytesPerPixel == 4 && f->Rmask == 0x00FF0000u && f->Gmask == 0x0000FF00u && f->Bmask == 0x000000FFu;
}

class SurfacePresenter final : public Presenter {
public:
    SurfacePresenter(SDL_Window* window, Aspect aspect) : window_(window), aspect_(aspect) {}
    SurfacePresenter(const SurfacePresenter&) = delete;
    SurfacePresenter& operator=(const SurfacePresenter&) = delete;
    ~SurfacePresenter() override {
        if (staging_ != nullptr)
            SDL_FreeSurface(staging_);
    }

    void present(const std::uint32_t* pixels) override {
        SDL_Surface* surface = SDL_GetWindowSurface(window_);
        if (surface == nullptr)
            failWithSdlError("cannot reach the window's surface");
        // A new surface (the window changed size) starts black: the bars.
        const bool fresh = surface != surface_ || surface->w != size_.width || surface->h != size_.height;
        if (fresh) {
            if (SDL_FillRect(surface, nullptr, SDL_MapRGB(surface->format, 0, 0, 0)) != 0)
                failWithSdlError("cannot clear the window");
            surface_ = surface;
            size_ = {surface->w, surface->h};
        }
        const Rect place = letterbox(aspect_, size_);
        if (place.width > 0 && place.height > 0)
            draw(surface, pixels, place);
        const SDL_Rect changed{place.x, place.y, place.width, place.height};
        if ((fresh ? SDL_UpdateWindowSurface(window_) : SDL_UpdateWindowSurfaceRects(window_, &changed, 1)) != 0)
            failWithSdlError("cannot show the frame");
    }

private:
    void draw(SDL_Surface* surface, const std::uint32_t* pixels, const Rect& place) {
        if (takesPicturePixels(surface)) {
            if (SDL_MUSTLOCK(surface) && SDL_LockSurface(surface) != 0)
                failWithSdlError("cannot draw into the window");
            auto* rows = static_cast<unsigned char*>(surface->pixels) +
                         static_cast<std::ptrdiff_t>(place.y) * surface->pitch;
            scaler_.scale(pixels, reinterpret_cast<std::uint32_t*>(rows) + place.x, place.width, place.height,
                          static_cast<std::size_t>(surface->pitch) / 4, surface->format->Amask);
            if (SDL_MUSTLOCK(surface))
                SDL_UnlockSurface(surface);
            return;
        }
        // Any other layout: scaled in a picture of our own, then converted.
        if (staging_ == nullptr || staging_->w != place.width || staging_->h != place.height) {
            if (staging_ != nullptr)
                SDL_FreeSurface(staging_);
            staging_ = SDL_CreateRGBSurfaceWithFormat(0, place.width, place.height, 32, SDL_PIXELFORMAT_RGB888);
            if (staging_ == nullptr)
                failWithSdlError("cannot make room for the scaled picture");
        }
        scaler_.scale(pixels, static_cast<std::uint32_t*>(staging_->pixels), place.width, place.height,
                      static_cast<std::size_t>(staging_->pitch) / 4);
        SDL_Rect to{place.x, place.y, place.width, place.height};
        if (SDL_BlitSurface(staging_, nullptr, surface, &to) != 0)
            failWithSdlError("cannot draw into the window");
    }

    SDL_Window* window_;
    Aspect aspect_;
    window::PixelScaler scaler_;
    SDL_Surface* surface_ = nullptr;
    Size size_;
    SDL_Surface* staging_ = nullptr;
};

} // namespace

std::unique_ptr<Presenter> makeSurfacePresenter(SDL_Window* window, Aspect aspect) {
    // The window's surface as shared memory with the window system, not an
    // OpenGL texture drawn on the processor. A window system that offers
    // none (Wayland, under SDL 2) gets whatever surface SDL can make, and
    // without one this way is not open at all.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    if (SDL_GetWindowSurface(window) == nullptr) {
        SDL_ResetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION);
        if (SDL_GetWindowSurface(window) == nullptr)
            return nullptr;
    }
    return std::make_unique<SurfacePresenter>(window, aspect);
}

} // namespace ptc::sdl
