#!/usr/bin/env python3
"""Sends exact key events with XTEST (xdotool's Control_R also presses
Control_L). Each argument is one step:
  +KEYSYM   press      -KEYSYM   release      KEYSYM   press and release
  @MS       pause MS milliseconds
Example: xkey.py Control_R @100 Control_R"""
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


def main(steps):
    display = x11.XOpenDisplay(None)
    if not display:
        print("xkey: cannot open the display", file=sys.stderr)
        return 1

    def send(name, press):
        keysym = x11.XStringToKeysym(name.encode())
        keycode = x11.XKeysymToKeycode(display, keysym) if keysym else 0
        if not keycode:
            raise SystemExit("xkey: no key for %s" % name)
        xtst.XTestFakeKeyEvent(display, keycode, 1 if press else 0, 0)
        x11.XSync(display, 0)

    for step in steps:
        if step.startswith("@"):
            time.sleep(int(step[1:]) / 1000.0)
        elif step.startswith("+"):
            send(step[1:], True)
        elif step.startswith("-"):
            send(step[1:], False)
        else:
            send(step, True)
            send(step, False)
    x11.XCloseDisplay(display)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
