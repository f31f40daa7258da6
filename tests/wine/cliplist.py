#!/usr/bin/env python3
"""Reads the history file the program keeps beside its executable
(cliplist.dat: a 4-byte big-endian length, then a zlib stream of the UTF-8
entries, each followed by "<>").
  cliplist.py FILE N      prints entry N (0 is the newest), exit 1 if none
  cliplist.py FILE count  prints the number of entries"""
import sys
import zlib


def entries(path):
    try:
        with open(path, "rb") as f:
            data = f.read()
        text = zlib.decompress(data[4:]).split(b"\0")[0].decode("utf-8")
    except (OSError, zlib.error, UnicodeDecodeError):
        return None
    pieces = text.split("<>")
    return [p for p in pieces if p.strip()]


def main(path, what):
    found = entries(path)
    if found is None:
        return 1
    if what == "count":
        print(len(found))
        return 0
    index = int(what)
    if index >= len(found):
        return 1
    sys.stdout.write(found[index])
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
