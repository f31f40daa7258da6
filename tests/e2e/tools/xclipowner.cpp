// A CLIPBOARD owner for the end-to-end tests, well-behaved or not.
// Usage: xclipowner [OPTION]... (--text TEXT | --file FILE)
//   --text TEXT         the content, as UTF-8 bytes
//   --file FILE         the content: the file's bytes as they are
//   --hang              take the clipboard and never answer any request
//   --hang-text         answer TARGETS, never the text
//   --delay MS          answer each request MS milliseconds after it came
//   --text-targets LIST the text targets offered, comma-separated (default
//                       UTF8_STRING,text/plain;charset=utf-8,STRING,TEXT);
//                       each is served with the bytes as they are, typed as
//                       the target itself (TEXT as UTF8_STRING)
//   --extra NAME[=DATA] one more target offered (repeatable), served with
//                       DATA (default "1")
//   --no-targets        refuse TARGETS (as some old owners do)
//   --bogus-atom        list an atom the server does not know among TARGETS
//   --incr-above BYTES  values larger than this go through INCR (default
//                       262144)
//   --chunk BYTES       the size of an INCR piece (default 65536)
//   --die-after-pieces N  end the process abruptly after N INCR pieces
//   --kill-requestor    answer the first request by killing the requesting
//                       client's connection (XKillClient); serve later ones
//   --naive             keep Xlib's default error handler, as many small
//                       owners do: an error (say, a requestor window that is
//                       gone) ends the tool
//   --log FILE          one line per event: "owned", "request TARGET",
//                       "answered TARGET", "refused TARGET", "incr TARGET
//                       SIZE", "piece N", "served TARGET" (the last piece),
//                       "gone" (the requestor window vanished), "killed",
//                       "lost" (another client took the clipboard)
// The tool ends with 0 when another client takes the clipboard (never in
// --hang mode, which reads nothing), and 3 after --die-after-pieces.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {
using Clock = std::chrono::steady_clock;

struct Options
{
    std::string content;
    bool hang = false;
    bool hangText = false;
    long delayMs = 0;
    std::vector<std::string> textTargets { "UTF8_STRING", "text/plain;charset=utf-8", "STRING", "TEXT" };
    std::map<std::string, std::string> extras;
    bool noTargets = false;
    bool bogusAtom = false;
    size_t incrAbove = 262144;
    size_t chunk = 65536;
    long dieAfterPieces = -1;
    bool killRequestor = false;
    bool naive = false;
    std::string logPath;
};

// An INCR transfer under way to one requestor.
struct Transfer
{
    Window requestor;
    Atom property;
    Atom type;
    size_t offset;
    bool ended;  // the empty piece was written
};

struct Owner
{
    Options options;
    Display *display = nullptr;
    Window window = 0;
    Atom clipboard = 0;
    Atom targets = 0;
    Atom incr = 0;
    Atom utf8 = 0;
    FILE *log = nullptr;
    std::deque<std::pair<Clock::time_point, XSelectionRequestEvent>> due;
    std::vector<Transfer> transfers;
    long pieces = 0;
    bool killed = false;
};

void note(Owner &owner, const std::string &line)
{
    if (!owner.log)
        return;
    std::fprintf(owner.log, "%s\n", line.c_str());
    std::fflush(owner.log);
}

std::string nameOf(Display *display, Atom atom)
{
    char *name = atom ? XGetAtomName(display, atom) : nullptr;
    if (!name)
        return "?";
    std::string result = name;
    XFree(name);
    return result;
}

int ignoreErrors(Display *, XErrorEvent *)
{
    return 0;  // requestor windows vanish; that is what some tests do
}

void sendNotify(Owner &owner, const XSelectionRequestEvent &request, Atom property)
{
    XSelectionEvent notify {};
    notify.type = SelectionNotify;
    notify.display = owner.display;
    notify.requestor = request.requestor;
    notify.selection = request.selection;
    notify.target = request.target;
    notify.time = request.time;
    notify.property = property;
    XSendEvent(owner.display, request.requestor, False, 0, reinterpret_cast<XEvent *>(&notify));
    XFlush(owner.display);
}

bool isTextTarget(const Owner &owner, const std::string &name)
{
    for (const std::string &target : owner.options.textTargets) {
        if (target == name)
            return true;
    }
    return false;
}

void answer(Owner &owner, const XSelectionRequestEvent &request)
{
    Display *display = owner.display;
    const std::string target = nameOf(display, request.target);
    const Atom property = request.property ? request.property : request.target;
    if (owner.options.killRequestor && !owner.killed) {
        owner.killed = true;
        XKillClient(display, request.requestor);
        XFlush(display);
        note(owner, "killed");
        return;
    }
    if (request.target == owner.targets && !owner.options.noTargets) {
        std::vector<long> list { long(owner.targets) };
        // Atoms are counted up from 1; this one is far beyond any made.
        if (owner.options.bogusAtom)
            list.push_back(0x1fffffffL);
        for (const std::string &name : owner.options.textTargets)
            list.push_back(long(XInternAtom(display, name.c_str(), False)));
        for (const auto &extra : owner.options.extras)
            list.push_back(long(XInternAtom(display, extra.first.c_str(), False)));
        XChangeProperty(display, request.requestor, property, XA_ATOM, 32, PropModeReplace,
            reinterpret_cast<const unsigned char *>(list.data()), int(list.size()));
        sendNotify(owner, request, property);
        note(owner, "answered TARGETS");
        return;
    }
    const auto extra = owner.options.extras.find(target);
    if (extra != owner.options.extras.end()) {
        XChangeProperty(display, request.requestor, property, request.target, 8, PropModeReplace,
            reinterpret_cast<const unsigned char *>(extra->second.data()), int(extra->second.size()));
        sendNotify(owner, request, property);
        note(owner, "answered " + target);
        return;
    }
    if (!isTextTarget(owner, target)) {
        sendNotify(owner, request, None);
        note(owner, "refused " + target);
        return;
    }
    const Atom type = target == "TEXT" ? owner.utf8 : request.target;
    const std::string &bytes = owner.options.content;
    if (bytes.size() > owner.options.incrAbove) {
        // The size goes first, then a piece each time the requestor
        // deletes the property.
        XSelectInput(display, request.requestor, PropertyChangeMask | StructureNotifyMask);
        const long size = long(bytes.size());
        XChangeProperty(display, request.requestor, property, owner.incr, 32, PropModeReplace,
            reinterpret_cast<const unsigned char *>(&size), 1);
        owner.transfers.push_back({ request.requestor, property, type, 0, false });
        sendNotify(owner, request, property);
        note(owner, "incr " + target + " " + std::to_string(bytes.size()));
        return;
    }
    XChangeProperty(display, request.requestor, property, type, 8, PropModeReplace,
        reinterpret_cast<const unsigned char *>(bytes.data()), int(bytes.size()));
    sendNotify(owner, request, property);
    note(owner, "answered " + target);
    note(owner, "served " + target);
}

// The requestor deleted the property: the next piece, or the end.
void nextPiece(Owner &owner, const XPropertyEvent &event)
{
    for (size_t i = 0; i < owner.transfers.size(); ++i) {
        Transfer &transfer = owner.transfers[i];
        if (transfer.requestor != event.window || transfer.property != event.atom)
            continue;
        if (transfer.ended) {
            note(owner, "served " + nameOf(owner.display, transfer.type));
            XSelectInput(owner.display, transfer.requestor, 0);
            owner.transfers.erase(owner.transfers.begin() + long(i));
            XFlush(owner.display);
            return;
        }
        if (owner.options.dieAfterPieces >= 0 && owner.pieces >= owner.options.dieAfterPieces) {
            note(owner, "dying");
            _exit(3);
        }
        const std::string &bytes = owner.options.content;
        const size_t size = std::min(owner.options.chunk, bytes.size() - transfer.offset);
        XChangeProperty(owner.display, transfer.requestor, transfer.property, transfer.type, 8,
            PropModeReplace, reinterpret_cast<const unsigned char *>(bytes.data() + transfer.offset),
            int(size));
        XFlush(owner.display);
        transfer.offset += size;
        transfer.ended = size == 0;
        ++owner.pieces;
        return;
    }
}

void dropTransfersTo(Owner &owner, Window window)
{
    for (size_t i = owner.transfers.size(); i-- > 0;) {
        if (owner.transfers[i].requestor == window) {
            owner.transfers.erase(owner.transfers.begin() + long(i));
            note(owner, "gone");
        }
    }
}

bool handle(Owner &owner, XEvent &event)
{
    switch (event.type) {
    case SelectionRequest:
        if (owner.options.hangText && event.xselectionrequest.target != owner.targets) {
            note(owner, "request " + nameOf(owner.display, event.xselectionrequest.target));
            return true;
        }
        note(owner, "request " + nameOf(owner.display, event.xselectionrequest.target));
        owner.due.emplace_back(
            Clock::now() + std::chrono::milliseconds(owner.options.delayMs), event.xselectionrequest);
        return true;
    case SelectionClear:
        if (event.xselectionclear.selection == owner.clipboard) {
            note(owner, "lost");
            return false;
        }
        return true;
    case PropertyNotify:
        if (event.xproperty.state == PropertyDelete)
            nextPiece(owner, event.xproperty);
        return true;
    case DestroyNotify:
        dropTransfersTo(owner, event.xdestroywindow.window);
        return true;
    default:
        return true;
    }
}

bool readFile(const char *path, std::string *content)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return false;
    std::ostringstream bytes;
    bytes << file.rdbuf();
    *content = bytes.str();
    return true;
}

int usage()
{
    std::fprintf(stderr, "usage: xclipowner [OPTION]... (--text TEXT | --file FILE); see the source\n");
    return 2;
}
}  // namespace

int main(int argc, char **argv)
{
    Owner owner;
    Options &options = owner.options;
    bool haveContent = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--text" && hasValue) {
            options.content = argv[++i];
            haveContent = true;
        } else if (arg == "--file" && hasValue) {
            if (!readFile(argv[++i], &options.content)) {
                std::fprintf(stderr, "xclipowner: cannot read %s\n", argv[i]);
                return 2;
            }
            haveContent = true;
        } else if (arg == "--hang") {
            options.hang = true;
        } else if (arg == "--hang-text") {
            options.hangText = true;
        } else if (arg == "--delay" && hasValue) {
            options.delayMs = std::atol(argv[++i]);
        } else if (arg == "--text-targets" && hasValue) {
            options.textTargets.clear();
            std::stringstream list(argv[++i]);
            std::string name;
            while (std::getline(list, name, ','))
                options.textTargets.push_back(name);
        } else if (arg == "--extra" && hasValue) {
            const std::string extra = argv[++i];
            const std::string::size_type equals = extra.find('=');
            if (equals == std::string::npos)
                options.extras[extra] = "1";
            else
                options.extras[extra.substr(0, equals)] = extra.substr(equals + 1);
        } else if (arg == "--no-targets") {
            options.noTargets = true;
        } else if (arg == "--bogus-atom") {
            options.bogusAtom = true;
        } else if (arg == "--incr-above" && hasValue) {
            options.incrAbove = size_t(std::atol(argv[++i]));
        } else if (arg == "--chunk" && hasValue) {
            options.chunk = size_t(std::max(1L, std::atol(argv[++i])));
        } else if (arg == "--die-after-pieces" && hasValue) {
            options.dieAfterPieces = std::atol(argv[++i]);
        } else if (arg == "--kill-requestor") {
            options.killRequestor = true;
        } else if (arg == "--naive") {
            options.naive = true;
        } else if (arg == "--log" && hasValue) {
            options.logPath = argv[++i];
        } else {
            return usage();
        }
    }
    if (!haveContent)
        return usage();

    owner.display = XOpenDisplay(nullptr);
    if (!owner.display) {
        std::fprintf(stderr, "xclipowner: cannot open display\n");
        return 2;
    }
    if (!options.logPath.empty()) {
        owner.log = std::fopen(options.logPath.c_str(), "w");
        if (!owner.log) {
            std::fprintf(stderr, "xclipowner: cannot write %s\n", options.logPath.c_str());
            return 2;
        }
    }
    if (!options.naive)
        XSetErrorHandler(ignoreErrors);
    Display *display = owner.display;
    owner.window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
    owner.clipboard = XInternAtom(display, "CLIPBOARD", False);
    owner.targets = XInternAtom(display, "TARGETS", False);
    owner.incr = XInternAtom(display, "INCR", False);
    owner.utf8 = XInternAtom(display, "UTF8_STRING", False);
    XSetSelectionOwner(display, owner.clipboard, owner.window, CurrentTime);
    XSync(display, False);
    if (XGetSelectionOwner(display, owner.clipboard) != owner.window) {
        std::fprintf(stderr, "xclipowner: could not take the clipboard\n");
        return 1;
    }
    note(owner, "owned");

    if (options.hang) {
        // Reads nothing, answers nothing: requests pile up unseen.
        for (;;)
            pause();
    }
    for (;;) {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            if (!handle(owner, event))
                return 0;
        }
        const Clock::time_point now = Clock::now();
        while (!owner.due.empty() && owner.due.front().first <= now) {
            const XSelectionRequestEvent request = owner.due.front().second;
            owner.due.pop_front();
            answer(owner, request);
        }
        int wait = -1;
        if (!owner.due.empty()) {
            wait = int(std::chrono::duration_cast<std::chrono::milliseconds>(owner.due.front().first - now)
                           .count())
                + 1;
        }
        if (XPending(display))
            continue;
        pollfd fd { ConnectionNumber(display), POLLIN, 0 };
        poll(&fd, 1, wait);
    }
}
