// What the window tests need of the X server beyond xdotool:
//   x11_tool close WINDOW              asks the window to close the way a window
//                                      manager's close button does (WM_DELETE_WINDOW)
//   x11_tool pixels WINDOW X Y [X Y]...  prints each pixel of the window as rrggbb
//   x11_tool grab WINDOW X Y W H FILE  writes that part of the window to FILE,
//                                      row after row, each pixel as 4 bytes of
//                                      0x00RRGGBB, lowest first
//   x11_tool unfocus WINDOW            takes the keyboard focus from every window, as
//                                      when the player turns to another program
//   x11_tool cursor WINDOW             moves the pointer to the window's middle and
//                                      prints "hidden" when the cursor shown there is
//                                      wholly transparent, else "shown"
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xfixes.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

int closeWindow(Display* x, Window window) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(x, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(x, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(x, window, False, NoEventMask, &event);
    XSync(x, False);
    return 0;
}

int printPixels(Display* x, Window window, int count, char** coordinates) {
    for (int i = 0; i + 1 < count; i += 2) {
        const int px = std::atoi(coordinates[i]);
        const int py = std::atoi(coordinates[i + 1]);
        XImage* image = XGetImage(x, window, px, py, 1, 1, AllPlanes, ZPixmap);
        if (image == nullptr) {
            std::fprintf(stderr, "x11_tool: cannot read pixel %d,%d\n", px, py);
            return 1;
        }
        const unsigned long pixel = XGetPixel(image, 0, 0);
        std::printf("%s%06lx", i == 0 ? "" : " ", pixel & 0xFFFFFFul);
        XDestroyImage(image);
    }
    std::printf("\n");
    return 0;
}

int grab(Display* x, Window window, char** arguments) {
    const int left = std::atoi(arguments[0]);
    const int top = std::atoi(arguments[1]);
    const int width = std::atoi(arguments[2]);
    const int height = std::atoi(arguments[3]);
    if (width <= 0 || height <= 0) {
        std::fprintf(stderr, "x11_tool: empty area\n");
        return 2;
    }
    XImage* image = XGetImage(x, window, left, top, static_cast<unsigned>(width), static_cast<unsigned>(height),
                              AllPlanes, ZPixmap);
    if (image == nullptr) {
        std::fprintf(stderr, "x11_tool: cannot read %dx%d at %d,%d\n", width, height, left, top);
        return 1;
    }
    std::vector<unsigned char> bytes;
    bytes.reserve(static_cast<std::size_t>(width) * height * 4);
    for (int py = 0; py < height; ++py)
        for (int px = 0; px < width; ++px) {
            const std::uint32_t pixel = static_cast<std::uint32_t>(XGetPixel(image, px, py)) & 0xFFFFFFu;
            for (int b = 0; b < 4; ++b)
                bytes.push_back(static_cast<unsigned char>(pixel >> (8 * b)));
        }
    XDestroyImage(image);
    std::FILE* out = std::fopen(arguments[4], "wb");
    if (out == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), out) != bytes.size() ||
        std::fclose(out) != 0) {
        std::fprintf(stderr, "x11_tool: cannot write %s\n", arguments[4]);
        return 1;
    }
    return 0;
}

int cursor(Display* x, Window window) {
    int eventBase = 0, errorBase = 0;
    if (!XFixesQueryExtension(x, &eventBase, &errorBase)) {
        std::fprintf(stderr, "x11_tool: the server has no XFIXES\n");
        return 1;
    }
    XWindowAttributes attributes;
    if (XGetWindowAttributes(x, window, &attributes) == 0)
        return 1;
    XWarpPointer(x, None, window, 0, 0, 0, 0, attributes.width / 2, attributes.height / 2);
    XSync(x, False);
    XFixesCursorImage* image = XFixesGetCursorImage(x);
    if (image == nullptr)
        return 1;
    bool visible = false;
    for (int i = 0; i < image->width * image->height; ++i)
        visible = visible || (image->pixels[i] & 0xFF000000ul) != 0;
    XFree(image);
    std::printf("%s\n", visible ? "shown" : "hidden");
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr,
                     "usage: x11_tool close WINDOW | pixels WINDOW X Y [X Y]... |\n"
                     "       grab WINDOW X Y W H FILE | unfocus WINDOW | cursor WINDOW\n");
        return 2;
    }
    Display* x = XOpenDisplay(nullptr);
    if (x == nullptr) {
        std::fprintf(stderr, "x11_tool: cannot open the display\n");
        return 1;
    }
    const Window window = std::strtoul(argv[2], nullptr, 0);
    int status = 2;
    if (std::strcmp(argv[1], "close") == 0)
        status = closeWindow(x, window);
    else if (std::strcmp(argv[1], "pixels") == 0)
        status = printPixels(x, window, argc - 3, argv + 3);
    else if (std::strcmp(argv[1], "grab") == 0 && argc == 8)
        status = grab(x, window, argv + 3);
    else if (std::strcmp(argv[1], "unfocus") == 0)
        status = (XSetInputFocus(x, None, RevertToNone, CurrentTime), XSync(x, False), 0);
    else if (std::strcmp(argv[1], "cursor") == 0)
        status = cursor(x, window);
    XCloseDisplay(x);
    return status;
}
