"""Exact key events with XTEST, for the Wine tests' tools: libX11 and libXtst
through ctypes, so that no X bindings for Python are needed."""
import ctypes

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


def open_display(tool):
    """The connection to $DISPLAY; ends the tool when there is none."""
    display = x11.XOpenDisplay(None)
    if not display:
        raise SystemExit("%s: cannot open the display" % tool)
    return display


def keycode(display, tool, name):
    """The keycode of the keysym NAME; ends the tool when no key has it."""
    keysym = x11.XStringToKeysym(name.encode())
    code = x11.XKeysymToKeycode(display, keysym) if keysym else 0
    if not code:
        raise SystemExit("%s: no key for %s" % (tool, name))
    return code


def send(display, code, press):
    """Presses or releases the key CODE and waits until the server has it."""
    xtst.XTestFakeKeyEvent(display, code, 1 if press else 0, 0)
    x11.XSync(display, 0)
