// A clipboard owner for load tests: it takes the CLIPBOARD selection again
// and again, each time with a new text, and serves whoever converts it.
// Usage:
//   clipburst burst COUNT WAIT_MS LOG [PREFIX]
//       offers COUNT texts "PREFIX-00001" ... (PREFIX: burst) one after the
//       other; after each take it serves requests until that text has been
//       converted or WAIT_MS milliseconds have passed (0: only what is
//       already queued), then takes the next one
//   clipburst tick SECONDS PERIOD_MS LOG [PREFIX]
//       offers a new text "PREFIX-00001" ... (PREFIX: tick) every PERIOD_MS
//       milliseconds for SECONDS seconds
// LOG gets one line per text the moment it is converted for the first time
// (to UTF8_STRING or any other text target), so it lists what readers saw,
// in order. Once done, LOG.sent holds the number of texts offered; the last
// text stays on offer until another client takes the clipboard (then the
// tool ends with 0) or the tool is killed.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <poll.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {
using Clock = std::chrono::steady_clock;

struct Owner
{
    Display *display = nullptr;
    Window window = 0;
    Atom clipboard = 0;
    Atom targets = 0;
    Atom utf8 = 0;
    Atom text = 0;
    Atom plain = 0;
    Atom plainUtf8 = 0;
    std::string current;
    long number = 0;  // of the text on offer, from 1
    long lastConverted = 0;  // highest number converted so far
    long targetRequests = 0;  // TARGETS asked for
    long textRequests = 0;  // text conversions, repeats included
    bool owning = false;
    FILE *log = nullptr;
};

void reply(Owner &owner, const XSelectionRequestEvent &request)
{
    XSelectionEvent notify {};
    notify.type = SelectionNotify;
    notify.display = request.display;
    notify.requestor = request.requestor;
    notify.selection = request.selection;
    notify.target = request.target;
    notify.time = request.time;
    const Atom property = request.property ? request.property : request.target;
    notify.property = 0;
    if (owner.owning && request.selection == owner.clipboard) {
        if (request.target == owner.targets) {
            ++owner.targetRequests;
            const long list[] = { long(owner.targets), long(owner.utf8), long(owner.plainUtf8),
                long(XA_STRING), long(owner.text), long(owner.plain) };
            XChangeProperty(owner.display, request.requestor, property, XA_ATOM, 32, PropModeReplace,
                reinterpret_cast<const unsigned char *>(list), int(sizeof list / sizeof list[0]));
            notify.property = property;
        } else if (request.target == owner.utf8 || request.target == owner.plainUtf8
            || request.target == XA_STRING || request.target == owner.text || request.target == owner.plain) {
            const Atom type = request.target == owner.text ? XA_STRING : request.target;
            XChangeProperty(owner.display, request.requestor, property, type, 8, PropModeReplace,
                reinterpret_cast<const unsigned char *>(owner.current.data()), int(owner.current.size()));
            notify.property = property;
            ++owner.textRequests;
            if (owner.number > owner.lastConverted) {
                owner.lastConverted = owner.number;
                std::fprintf(owner.log, "%s\n", owner.current.c_str());
                std::fflush(owner.log);
            }
        }
    }
    XSendEvent(owner.display, request.requestor, False, 0, reinterpret_cast<XEvent *>(&notify));
    XFlush(owner.display);
}

// Handles every event already received; returns false once the clipboard
// went to another client.
bool handlePending(Owner &owner)
{
    bool kept = true;
    while (XPending(owner.display)) {
        XEvent event;
        XNextEvent(owner.display, &event);
        if (event.type == SelectionRequest) {
            reply(owner, event.xselectionrequest);
        } else if (event.type == SelectionClear && event.xselectionclear.selection == owner.clipboard) {
            owner.owning = false;
            kept = false;
        }
    }
    return kept;
}

// Waits up to `ms` milliseconds for events and handles them.
bool serveFor(Owner &owner, long ms)
{
    pollfd fd { ConnectionNumber(owner.display), POLLIN, 0 };
    if (!XPending(owner.display))
        poll(&fd, 1, int(ms));
    return handlePending(owner);
}

void offer(Owner &owner, const std::string &prefix, long number)
{
    char text[64];
    std::snprintf(text, sizeof text, "%s-%05ld", prefix.c_str(), number);
    owner.current = text;
    owner.number = number;
    XSetSelectionOwner(owner.display, owner.clipboard, owner.window, CurrentTime);
    owner.owning = true;
    XFlush(owner.display);
}

void writeSent(const std::string &log, long count)
{
    const std::string path = log + ".sent";
    const std::string temporary = path + ".tmp";
    FILE *file = std::fopen(temporary.c_str(), "w");
    if (!file)
        return;
    std::fprintf(file, "%ld\n", count);
    std::fclose(file);
    std::rename(temporary.c_str(), path.c_str());
}

long elapsedMs(Clock::time_point since)
{
    return long(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}
}  // namespace

int main(int argc, char **argv)
{
    if (argc < 5 || argc > 6 || (std::strcmp(argv[1], "burst") != 0 && std::strcmp(argv[1], "tick") != 0)) {
        std::fprintf(stderr,
            "usage: clipburst burst COUNT WAIT_MS LOG [PREFIX] | tick SECONDS PERIOD_MS LOG [PREFIX]\n");
        return 2;
    }
    const bool burst = std::strcmp(argv[1], "burst") == 0;
    const long first = std::atol(argv[2]);
    const long second = std::atol(argv[3]);
    const std::string logPath = argv[4];
    const std::string prefix = argc > 5 ? argv[5] : burst ? "burst" : "tick";

    Owner owner;
    owner.display = XOpenDisplay(nullptr);
    if (!owner.display) {
        std::fprintf(stderr, "clipburst: cannot open display\n");
        return 2;
    }
    owner.log = std::fopen(logPath.c_str(), "w");
    if (!owner.log) {
        std::fprintf(stderr, "clipburst: cannot write %s\n", logPath.c_str());
        return 2;
    }
    owner.window = XCreateSimpleWindow(owner.display, DefaultRootWindow(owner.display), 0, 0, 1, 1, 0, 0, 0);
    owner.clipboard = XInternAtom(owner.display, "CLIPBOARD", False);
    owner.targets = XInternAtom(owner.display, "TARGETS", False);
    owner.utf8 = XInternAtom(owner.display, "UTF8_STRING", False);
    owner.text = XInternAtom(owner.display, "TEXT", False);
    owner.plain = XInternAtom(owner.display, "text/plain", False);
    owner.plainUtf8 = XInternAtom(owner.display, "text/plain;charset=utf-8", False);

    long sent = 0;
    const Clock::time_point start = Clock::now();
    if (burst) {
        for (long i = 1; i <= first; ++i) {
            offer(owner, prefix, i);
            ++sent;
            const Clock::time_point taken = Clock::now();
            handlePending(owner);
            while (owner.lastConverted < i) {
                const long left = second - elapsedMs(taken);
                if (left <= 0)
                    break;
                serveFor(owner, left);
            }
        }
    } else {
        const long total = first * 1000;
        long next = 0;
        while (elapsedMs(start) < total) {
            const long now = elapsedMs(start);
            if (now >= next) {
                offer(owner, prefix, ++sent);
                next += second;
                if (next <= now)
                    next = now + second;  // behind: do not offer in a rush
            }
            serveFor(owner, next - elapsedMs(start));
        }
    }
    const long took = elapsedMs(start);
    writeSent(logPath, sent);
    // Keep the last text on offer until someone else takes the clipboard.
    while (serveFor(owner, 1000)) { }
    std::fprintf(stderr,
        "clipburst: %ld texts offered in %ld ms; %ld requests for TARGETS, %ld text conversions\n", sent,
        took, owner.targetRequests, owner.textRequests);
    std::fclose(owner.log);
    XCloseDisplay(owner.display);
    return 0;
}
