#ifndef X11SELECTIONTRANSFER_H
#define X11SELECTIONTRANSFER_H

#include <QByteArray>

struct _XDisplay;
union _XEvent;

// One conversion of a selection to one target, as the ICCCM lays it down:
// the request names a property of the requestor window, the owner puts the
// value there and says so with SelectionNotify, the requestor reads and
// deletes it; a value too large for one request comes in pieces (INCR),
// each one asked for by deleting the last. Nothing here waits: the events
// of the requestor window are handed in as they come, and the caller keeps
// the time.
class X11SelectionTransfer
{
public:
    enum class State {
        Idle,
        Waiting,  // for the owner's SelectionNotify
        Pieces,  // for the next piece of an INCR transfer
        Done,
        Refused,  // the owner cannot give this target
        Failed,  // see failure()
    };

    // `requestor` is a window of `display` that selects PropertyChangeMask;
    // values larger than `maxBytes` fail.
    X11SelectionTransfer(_XDisplay *display, unsigned long requestor, qint64 maxBytes);

    // Asks the owner of `selection`, as of the server time `time`, for
    // `target`, to be put into `property` of the requestor window. Any
    // transfer in progress is forgotten.
    void request(unsigned long selection, unsigned long target, unsigned long property, unsigned long time);
    // Takes one event; true when it moved this transfer on (an answer or a
    // piece), false when it was not this transfer's: an answer is known by
    // its property, a refusal by its target and time.
    bool handle(const _XEvent &event);
    unsigned long property() const { return into; }

    State state() const { return current; }
    bool isBusy() const { return current == State::Waiting || current == State::Pieces; }
    unsigned long target() const { return wanted; }
    // The value's type (e.g. UTF8_STRING, STRING, ATOM) and item size in
    // bits (8, 16 or 32); 32-bit items are held as Xlib hands them over,
    // one long each.
    unsigned long type() const { return valueType; }
    int format() const { return valueFormat; }
    QByteArray takeData();
    const char *failure() const { return reason; }

private:
    struct Property;
    bool readProperty(Property *value);
    void fail(const char *why);

    _XDisplay *display;
    unsigned long window;
    unsigned long incrAtom;
    qint64 maxBytes;

    State current = State::Idle;
    unsigned long wanted = 0;
    unsigned long into = 0;
    unsigned long time = 0;
    unsigned long valueType = 0;
    int valueFormat = 0;
    QByteArray data;
    const char *reason = "";
};

#endif  // X11SELECTIONTRANSFER_H
