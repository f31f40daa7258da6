#include "x11selectiontransfer.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

struct X11SelectionTransfer::Property
{
    Atom type = None;
    int format = 0;
    QByteArray bytes;
    bool exists = false;
    bool tooLarge = false;
};

X11SelectionTransfer::X11SelectionTransfer(Display *dpy, unsigned long requestor, qint64 limit)
    : display(dpy)
    , window(requestor)
    , incrAtom(XInternAtom(dpy, "INCR", False))
    , maxBytes(limit)
{ }

void X11SelectionTransfer::request(
    unsigned long selection, unsigned long target, unsigned long property, unsigned long when)
{
    data.clear();
    valueType = None;
    valueFormat = 0;
    reason = "";
    wanted = target;
    into = property;
    time = when;
    // Whatever an earlier request left there is not this answer.
    XDeleteProperty(display, window, into);
    XConvertSelection(display, selection, target, into, window, time);
    XFlush(display);
    current = State::Waiting;
}

bool X11SelectionTransfer::handle(const XEvent &event)
{
    if (current == State::Waiting && event.type == SelectionNotify && event.xselection.requestor == window) {
        const XSelectionEvent &notify = event.xselection;
        if (notify.property == None) {
            // Some owners answer with no time at all.
            if (notify.target != wanted || (notify.time != time && notify.time != CurrentTime))
                return false;
            current = State::Refused;
            return true;
        }
        if (notify.property != into)
            return false;
        Property value;
        if (!readProperty(&value))
            return true;
        if (!value.exists) {
            // Announced but not there: as good as refused.
            current = State::Refused;
            return true;
        }
        if (value.type == incrAtom) {
            // The read deleted the property, which asks for the first piece.
            // The value's size, a lower bound, comes with the announcement.
            const qint64 size = value.bytes.size() >= int(sizeof(long))
                ? qint64(*reinterpret_cast<const unsigned long *>(value.bytes.constData()))
                : 0;
            if (size > maxBytes) {
                fail("the clipboard's content is too large");
                return true;
            }
            data.reserve(int(size));
            current = State::Pieces;
            return true;
        }
        valueType = value.type;
        valueFormat = value.format;
        data = value.bytes;
        current = State::Done;
        return true;
    }
    if (current == State::Pieces && event.type == PropertyNotify && event.xproperty.window == window
        && event.xproperty.atom == into && event.xproperty.state == PropertyNewValue) {
        Property piece;
        if (!readProperty(&piece))
            return true;
        // Gone already: the notice of a value read before.
        if (!piece.exists)
            return false;
        valueType = piece.type;
        valueFormat = piece.format;
        if (piece.bytes.isEmpty()) {
            // The empty piece ends the transfer.
            current = State::Done;
            return true;
        }
        if (data.size() + qint64(piece.bytes.size()) > maxBytes) {
            fail("the clipboard's content is too large");
            return true;
        }
        data.append(piece.bytes);
        return true;
    }
    return false;
}

QByteArray X11SelectionTransfer::takeData()
{
    QByteArray taken;
    taken.swap(data);
    return taken;
}

bool X11SelectionTransfer::readProperty(Property *value)
{
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char *bytes = nullptr;
    // Everything up to the limit in one reply; the property is deleted only
    // when it was read to its end.
    const long longs = long(maxBytes / 4 + 1);
    const int status = XGetWindowProperty(
        display, window, into, 0, longs, True, AnyPropertyType, &type, &format, &count, &after, &bytes);
    if (status != Success) {
        fail("the clipboard's content could not be read");
        return false;
    }
    value->type = type;
    value->format = format;
    value->exists = type != None;
    if (value->exists) {
        // Xlib hands 32-bit items over as longs.
        const qint64 itemSize = format == 32 ? qint64(sizeof(long)) : format == 16 ? 2 : 1;
        const qint64 size = qint64(count) * itemSize;
        if (after > 0 || size > maxBytes) {
            if (bytes)
                XFree(bytes);
            fail("the clipboard's content is too large");
            return false;
        }
        if (bytes && size > 0)
            value->bytes = QByteArray(reinterpret_cast<const char *>(bytes), int(size));
    }
    if (bytes)
        XFree(bytes);
    return true;
}

void X11SelectionTransfer::fail(const char *why)
{
    reason = why;
    current = State::Failed;
    data.clear();
    // A property left too large to read is not left behind.
    XDeleteProperty(display, window, into);
    XFlush(display);
}
