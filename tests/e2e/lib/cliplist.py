#!/usr/bin/env python3
"""Reads quillet's clip list file and prints its entries, newest first.

Usage: cliplist.py FILE [--json | --head]
Without options each entry is printed on its own line with line breaks
escaped as \\n; --json prints the list as one JSON array; --head prints
only the newest entry.
A missing, empty or damaged file prints nothing (exit code 1 if damaged).
"""
import json
import struct
import sys
import zlib


def entries(path):
    try:
        with open(path, "rb") as f:
            data = f.read()
    except FileNotFoundError:
        return []
    if not data:
        return []
    if len(data) < 4:
        raise ValueError("short file")
    (length,) = struct.unpack(">I", data[:4])
    payload = zlib.decompress(data[4:])
    if len(payload) != length:
        raise ValueError("length mismatch")
    if payload[:5] == b"\0QLCL":
        # The framed layout: version byte, then length-prefixed entries.
        pos, result = 6, []
        while pos < len(payload):
            (size,) = struct.unpack(">I", payload[pos:pos + 4])
            pos += 4
            result.append(payload[pos:pos + size].decode("utf-8"))
            pos += size
        return [e for e in result if e.strip()]
    text = payload.split(b"\0", 1)[0].decode("utf-8", "replace")
    return [piece for piece in text.split("<>") if piece.strip()]


def main():
    path = sys.argv[1]
    try:
        result = entries(path)
    except (ValueError, zlib.error, struct.error):
        return 1
    if "--head" in sys.argv:
        result = result[:1]
    if "--json" in sys.argv:
        print(json.dumps(result, ensure_ascii=False))
    else:
        for entry in result:
            print(entry.replace("\\", "\\\\").replace("\n", "\\n"))
    return 0


if __name__ == "__main__":
    sys.exit(main())
