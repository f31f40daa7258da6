#ifndef X11KEYMAPUPDATES_H
#define X11KEYMAPUPDATES_H

struct _XDisplay;

// Keeps the key map that one X connection translates keys with up to date:
// keyboard layouts change while the program runs, and the paste borrows
// keycodes. Asks the server for key map changes, then, whenever the
// connection has events, reads them and refreshes the map on a change.
class X11KeymapUpdates
{
public:
    // Asks for the key map changes of `display`.
    void select(_XDisplay *display);
    // Reads every event waiting on `display`; key map changes are taken in,
    // other events dropped. Stops once `*broken` is set (the connection
    // broke while reading), when given.
    void readPending(_XDisplay *display, const bool *broken = nullptr);

private:
    int xkbEventBase = -1;
};

#endif  // X11KEYMAPUPDATES_H
