#!/usr/bin/env python3
"""Times the hot key: taps Right Ctrl twice (80 ms apart) with XTEST, then
waits for the X window WINDOW (the popup, found once beforehand) to become
viewable, and prints the milliseconds from the second release to that.
Prints nothing and exits 1 when the window does not show within 5 s.
  taptime.py WINDOW"""
import ctypes
import sys
import time

from xtest import keycode, open_display, send, x11


class WindowAttributes(ctypes.Structure):
    # Only the fields up to map_state are read; the rest is room.
    _fields_ = [("x", ctypes.c_int), ("y", ctypes.c_int), ("width", ctypes.c_int),
                ("height", ctypes.c_int), ("border_width", ctypes.c_int), ("depth", ctypes.c_int),
                ("visual", ctypes.c_void_p), ("root", ctypes.c_ulong), ("c_class", ctypes.c_int),
                ("bit_gravity", ctypes.c_int), ("win_gravity", ctypes.c_int),
                ("backing_store", ctypes.c_int), ("backing_planes", ctypes.c_ulong),
                ("backing_pixel", ctypes.c_ulong), ("save_under", ctypes.c_int),
                ("colormap", ctypes.c_ulong), ("map_installed", ctypes.c_int),
                ("map_state", ctypes.c_int), ("rest", ctypes.c_char * 128)]


x11.XGetWindowAttributes.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(WindowAttributes)]
IS_VIEWABLE = 2


def main(window):
    display = open_display("taptime")
    control_r = keycode(display, "taptime", "Control_R")

    def viewable():
        attributes = WindowAttributes()
        if not x11.XGetWindowAttributes(display, window, ctypes.byref(attributes)):
            return False
        return attributes.map_state == IS_VIEWABLE

    send(display, control_r, True)
    send(display, control_r, False)
    time.sleep(0.08)
    send(display, control_r, True)
    send(display, control_r, False)
    start = time.monotonic()
    while time.monotonic() - start < 5:
        if viewable():
            print(int((time.monotonic() - start) * 1000))
            return 0
        time.sleep(0.001)
    return 1


if __name__ == "__main__":
    sys.exit(main(int(sys.argv[1], 0)))
