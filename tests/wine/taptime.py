#!/usr/bin/env python3
"""Times the hot key: taps Right Ctrl twice (80 ms apart) with XTEST, then
waits for the X window WINDOW (the popup, found once beforehand) to become
viewable, and prints the milliseconds from the second release to that.
Prints nothing and exits 1 when the window does not show within 5 s.
  taptime.py WINDOW"""
import ctypes
import sys
import time

x11 = ctypes.CDLL("libX11.so.6")
xtst = ctypes.CDLL("libXtst.so.6")
x11.XOpenDisplay.restype = ctypes.c_void_p
x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
x11.XStringToKeysym.restype = ctypes.c_ulong
x11.XStringToKeysym.argtypes = [ctypes.c_char_p]
x11.XKeysymToKeycode.restype = ctypes.c_ubyte
x11.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
xtst.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]


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
    display = x11.XOpenDisplay(None)
    if not display:
        return 1
    keycode = x11.XKeysymToKeycode(display, x11.XStringToKeysym(b"Control_R"))

    def send(press):
        xtst.XTestFakeKeyEvent(display, keycode, 1 if press else 0, 0)
        x11.XSync(display, 0)

    def viewable():
        attributes = WindowAttributes()
        if not x11.XGetWindowAttributes(display, window, ctypes.byref(attributes)):
            return False
        return attributes.map_state == IS_VIEWABLE

    send(True)
    send(False)
    time.sleep(0.08)
    send(True)
    send(False)
    start = time.monotonic()
    while time.monotonic() - start < 5:
        if viewable():
            print(int((time.monotonic() - start) * 1000))
            return 0
        time.sleep(0.001)
    return 1


if __name__ == "__main__":
    sys.exit(main(int(sys.argv[1], 0)))
