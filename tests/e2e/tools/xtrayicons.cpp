// Lists the icons docked in the tray host: every viewable window of the
// given WM_CLASS that is embedded somewhere below a top-level window (not a
// top-level window itself) and no larger than 64 by 64. One line per icon: "X Y WIDTH HEIGHT", the
// root coordinates of its top-left corner and its size. With --colours a fifth
// number follows: how many distinct colours the icon shows on the screen (a
// blank icon shows one).
// Usage: xtrayicons [--colours] CLASS; exit 0 with one line per icon (none: no
// output).
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstring>
#include <set>

namespace {

bool countColours = false;

int distinctColours(Display *display, Window window, int width, int height)
{
    XImage *image = XGetImage(display, window, 0, 0, unsigned(width), unsigned(height), AllPlanes, ZPixmap);
    if (!image)
        return 0;
    std::set<unsigned long> colours;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            colours.insert(XGetPixel(image, x, y));
    }
    XDestroyImage(image);
    return int(colours.size());
}

bool hasClass(Display *display, Window window, const char *name)
{
    XClassHint hint;
    if (!XGetClassHint(display, window, &hint))
        return false;
    const bool match = (hint.res_name && std::strcmp(hint.res_name, name) == 0)
        || (hint.res_class && std::strcmp(hint.res_class, name) == 0);
    XFree(hint.res_name);
    XFree(hint.res_class);
    return match;
}

void walk(Display *display, Window root, Window window, int depth, const char *name)
{
    Window rootReturn = 0;
    Window parent = 0;
    Window *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, window, &rootReturn, &parent, &children, &count))
        return;
    for (unsigned int i = 0; i < count; ++i) {
        const Window child = children[i];
        XWindowAttributes attributes;
        if (!XGetWindowAttributes(display, child, &attributes))
            continue;
        // depth 0 are the top-level windows; an embedded icon lies deeper.
        if (depth > 0 && attributes.map_state == IsViewable && attributes.width <= 64
            && attributes.height <= 64 && hasClass(display, child, name)) {
            int x = 0;
            int y = 0;
            Window unused = 0;
            XTranslateCoordinates(display, child, root, 0, 0, &x, &y, &unused);
            if (countColours)
                std::printf("%d %d %d %d %d\n", x, y, attributes.width, attributes.height,
                    distinctColours(display, child, attributes.width, attributes.height));
            else
                std::printf("%d %d %d %d\n", x, y, attributes.width, attributes.height);
        }
        walk(display, root, child, depth + 1, name);
    }
    if (children)
        XFree(children);
}

}  // namespace

int main(int argc, char **argv)
{
    int first = 1;
    if (argc > 1 && std::strcmp(argv[1], "--colours") == 0) {
        countColours = true;
        ++first;
    }
    if (argc <= first) {
        std::fprintf(stderr, "usage: %s [--colours] CLASS\n", argv[0]);
        return 2;
    }
    Display *display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "cannot open display\n");
        return 2;
    }
    const Window root = DefaultRootWindow(display);
    walk(display, root, root, 0, argv[first]);
    XCloseDisplay(display);
    return 0;
}
