#include "window/presentation.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace ptc::window {

namespace {

// a * b / c rounded to the nearest whole number, for non-negative values.
int scaled(int a, int b, int c) {
    const std::int64_t product = static_cast<std::int64_t>(a) * b;
    return static_cast<int>((product + c / 2) / c);
}

// The smallest whole factor that takes `length` to at least `wanted`,
// within `limit` (0: none), and at least 1.
int factorFor(int length, int wanted, int limit) {
    int factor = std::max(1, (wanted + length - 1) / length);
    if (limit > 0)
        factor = std::min(factor, std::max(1, limit / length));
    return factor;
}

} // namespace

Aspect aspectFromEnvironment() {
    const char* value = std::getenv("VEXLO_ASPECT");
    if (value == nullptr)
        return Aspect::FourByThree;
    const std::string text = value;
    return text == "off" || text == "0" ? Aspect::SquarePixels : Aspect::FourByThree;
}

Size shownShape(Aspect aspect) {
    return aspect == Aspect::FourByThree ? Size{DisplayWidth, 240} : Size{DisplayWidth, DisplayHeight};
}

Size fittingWindow(Aspect aspect, Size area) {
    const Size shape = shownShape(aspect);
    const int factor = std::max(1, std::min(area.width / shape.width, area.height / shape.height));
    return {shape.width * factor, shape.height * factor};
}

Rect letterbox(Aspect aspect, Size output) {
    if (output.width <= 0 || output.height <= 0)
        return {};
    const Size shape = shownShape(aspect);
    Rect place;
    // Wider than the picture: full height, bars left and right; otherwise
    // full width, bars above and below.
    if (static_cast<std::int64_t>(output.width) * shape.height >=
        static_cast<std::int64_t>(output.height) * shape.width) {
        place.height = output.height;
        place.width = std::min(output.width, scaled(output.height, shape.width, shape.height));
    } else {
        place.width = output.width;
        place.height = std::min(output.height, scaled(output.width, shape.height, shape.width));
    }
    place.x = (output.width - place.width) / 2;
    place.y = (output.height - place.height) / 2;
    return place;
}

Size crispSize(Size place, Size maxTexture) {
    return {DisplayWidth * factorFor(DisplayWidth, place.width, maxTexture.width),
            DisplayHeight * factorFor(DisplayHeight, place.height, maxTexture.height)};
}

} // namespace ptc::window
