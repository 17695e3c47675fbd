// What puts the picture into the window: letterboxed at its aspect (see
// presentation.h) and crisp at any size, in one of two ways.
//
// - Through SDL's renderer, where a graphics card draws: the picture is
//   uploaded, scaled up by whole factors with hard edges into a texture and
//   that is shrunk into the window with smoothing; the monitor's refresh
//   paces the presents (vsync).
// - On the processor, where there is no graphics card to draw (a virtual
//   machine, a small board, a remote or virtual X server): the picture is
//   scaled the same way in memory, straight into the window's own surface,
//   which the window system takes as it is (X11's shared-memory images).
//   An OpenGL renderer drawn by the processor (Mesa's llvmpipe) costs ten
//   times as much per frame, and a tenth of a second to start.
//
// The choice is automatic; VEXLO_SCALING=renderer or =processor forces one.
#pragma once

#include "window/presentation.h"

#include <SDL.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace ptc::sdl {

// The picture's geometry is the window's (window/presentation.h).
using window::Aspect;
using window::Rect;
using window::Size;

class Presenter {
public:
    virtual ~Presenter() = default;
    // Draws the DisplayWidth x DisplayHeight pixels into the window and
    // shows them. Throws DynamicError.
    virtual void present(const std::uint32_t* pixels) = 0;
    // The graphics device was lost, and everything made on it with it.
    virtual void deviceLost() {}
};

enum class Scaling { Renderer, Processor };

// What VEXLO_SCALING asks for, if anything.
std::optional<Scaling> scalingFromEnvironment();

// The presenter for a window that is not shown yet: the one forced, or
// the renderer where it draws on a graphics card and the processor
// otherwise (SDL's software renderer where the window has no surface of
// its own to draw into).
std::unique_ptr<Presenter> makePresenter(SDL_Window* window, Aspect aspect);

} // namespace ptc::sdl
