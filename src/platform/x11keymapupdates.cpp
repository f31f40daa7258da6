#include "x11keymapupdates.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>

void X11KeymapUpdates::select(Display *display)
{
    int opcode = 0;
    int errorBase = 0;
    int major = XkbMajorVersion;
    int minor = XkbMinorVersion;
    if (XkbQueryExtension(display, &opcode, &xkbEventBase, &errorBase, &major, &minor))
        XkbSelectEvents(display, XkbUseCoreKbd, XkbMapNotifyMask, XkbMapNotifyMask);
    else
        xkbEventBase = -1;
}

void X11KeymapUpdates::readPending(Display *display, const bool *broken)
{
    while (!(broken && *broken) && XPending(display)) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == MappingNotify) {
            XRefreshKeyboardMapping(&event.xmapping);
        } else if (xkbEventBase >= 0 && event.type == xkbEventBase) {
            auto *xkb = reinterpret_cast<XkbEvent *>(&event);
            if (xkb->any.xkb_type == XkbMapNotify)
                XkbRefreshKeyboardMapping(&xkb->map);
        }
    }
}
