// What the window tests need of the X server beyond xdotool:
//   x11_tool close WINDOW              asks the window to close the way a window
//                                      manager's close button does (WM_DELETE_WINDOW)
//   x11_tool pixels WINDOW X Y [X Y]...  prints each pixel of the window as rrggbb
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

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

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: x11_tool close WINDOW | pixels WINDOW X Y [X Y]...\n");
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
    XCloseDisplay(x);
    return status;
}
