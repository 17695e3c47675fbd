// The picture through SDL's renderer: uploaded into a texture, scaled up by
// whole factors with nearest neighbour into a second texture just at least
// as big as its place, and that shrunk into the window with linear
// filtering (one nearest copy when the place is itself a whole multiple).
#include "ptc/ptc.h"
#include "display/sdl/presenter.h"
#include "display/sdl/sdl_error.h"

#include <string>

namespace ptc::sdl {

namespace {

constexpr int Pitch = DisplayWidth * static_cast<int>(sizeof(std::uint32_t));

class RendererPresenter final : public Presenter {
public:
    RendererPresenter(SDL_Renderer* renderer, Aspect aspect) : renderer_(renderer), aspect_(aspect) {
        SDL_RendererInfo info;
        if (SDL_GetRendererInfo(renderer_, &info) != 0) {
            SDL_DestroyRenderer(renderer_);
            failWithSdlError("cannot read the renderer's limits");
        }
        maxTexture_ = {info.max_texture_width, info.max_texture_height};
    }
    RendererPresenter(const RendererPresenter&) = delete;
    RendererPresenter& operator=(const RendererPresenter&) = delete;
    ~RendererPresenter() override {
        dropTextures();
        SDL_DestroyRenderer(renderer_);
    }

    void present(const std::uint32_t* pixels) override {
        if (frame_ == nullptr)
            frame_ = makeFrameTexture();
        if (SDL_UpdateTexture(frame_, nullptr, pixels, Pitch) != 0)
            failWithSdlError("cannot copy the frame");
        int outputWidth = 0, outputHeight = 0;
        if (SDL_GetRendererOutputSize(renderer_, &outputWidth, &outputHeight) != 0)
            failWithSdlError("cannot read the window's size");
        const Rect place = letterbox(aspect_, {outputWidth, outputHeight});
        // Black only where the picture leaves bars: a picture that covers
        // the whole window is drawn without clearing it first.
        const bool covers =
            place.x == 0 && place.y == 0 && place.width == outputWidth && place.height == outputHeight;
        if (!covers && (SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255) != 0 || SDL_RenderClear(renderer_) != 0))
            failWithSdlError("cannot draw the frame");
        if (place.width > 0 && place.height > 0) {
            const SDL_Rect to{place.x, place.y, place.width, place.height};
            const Size crispWanted = crispSize({place.width, place.height}, maxTexture_);
            bool drawn = false;
            if (crispWanted == Size{place.width, place.height}) {
                drawn = SDL_RenderCopy(renderer_, frame_, nullptr, &to) == 0;
            } else {
                SDL_Texture* target = crispFor(crispWanted);
                drawn = SDL_SetRenderTarget(renderer_, target) == 0 &&
                        SDL_RenderCopy(renderer_, frame_, nullptr, nullptr) == 0 &&
                        SDL_SetRenderTarget(renderer_, nullptr) == 0 &&
                        SDL_RenderCopy(renderer_, target, nullptr, &to) == 0;
            }
            if (!drawn)
                failWithSdlError("cannot draw the frame");
        }
        SDL_RenderPresent(renderer_);
    }

    // The textures are gone with the device: made again at the next present.
    void deviceLost() override { dropTextures(); }

private:
    SDL_Texture* makeFrameTexture() {
        // RGB888 is SDL's name for 32-bit 0x00RRGGBB, the surface's layout.
        SDL_Texture* texture = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING,
                                                 DisplayWidth, DisplayHeight);
        if (texture == nullptr)
            failWithSdlError("cannot create the frame texture");
        if (SDL_SetTextureScaleMode(texture, SDL_ScaleModeNearest) != 0) {
            SDL_DestroyTexture(texture);
            failWithSdlError("cannot select crisp scaling");
        }
        return texture;
    }

    // The texture for the crisp step, made again when another size is wanted.
    SDL_Texture* crispFor(Size wanted) {
        if (crisp_ != nullptr && crispSize_ == wanted)
            return crisp_;
        if (crisp_ != nullptr)
            SDL_DestroyTexture(crisp_);
        crispSize_ = {};
        crisp_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_TARGET, wanted.width,
                                   wanted.height);
        if (crisp_ == nullptr)
            failWithSdlError("cannot create the scaling texture");
        // An opaque copy: no blending with the black behind it.
        if (SDL_SetTextureScaleMode(crisp_, SDL_ScaleModeLinear) != 0 ||
            SDL_SetTextureBlendMode(crisp_, SDL_BLENDMODE_NONE) != 0)
            failWithSdlError("cannot set up the scaling texture");
        crispSize_ = wanted;
        return crisp_;
    }

    void dropTextures() {
        for (SDL_Texture** texture : {&crisp_, &frame_}) {
            if (*texture != nullptr)
                SDL_DestroyTexture(*texture);
            *texture = nullptr;
        }
        crispSize_ = {};
    }

    SDL_Renderer* renderer_;
    Aspect aspect_;
    Size maxTexture_;
    SDL_Texture* frame_ = nullptr;
    SDL_Texture* crisp_ = nullptr;
    Size crispSize_;
};

} // namespace

std::unique_ptr<Presenter> makeRendererPresenter(SDL_Renderer* renderer, Aspect aspect) {
    return std::make_unique<RendererPresenter>(renderer, aspect);
}

} // namespace ptc::sdl
