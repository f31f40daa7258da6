#!/usr/bin/env python3
"""Sends exact key events with XTEST (xdotool's Control_R also presses
Control_L). Each argument is one step:
  +KEYSYM   press      -KEYSYM   release      KEYSYM   press and release
  @MS       pause MS milliseconds
Example: xkey.py Control_R @100 Control_R"""
import sys
import time

from xtest import keycode, open_display, send, x11


def main(steps):
    display = open_display("xkey")

    def key(name, press):
        send(display, keycode(display, "xkey", name), press)

    for step in steps:
        if step.startswith("@"):
            time.sleep(int(step[1:]) / 1000.0)
        elif step.startswith("+"):
            key(step[1:], True)
        elif step.startswith("-"):
            key(step[1:], False)
        else:
            key(step, True)
            key(step, False)
    x11.XCloseDisplay(display)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
