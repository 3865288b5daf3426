#!/usr/bin/env python3
"""Packs the program's PNG icons into one Windows .ico (PNG entries, which
Windows reads since Vista): make-ico.py OUTPUT.ico ICON.png..."""
import struct
import sys


def png_size(data):
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise SystemExit("not a PNG")
    return struct.unpack(">II", data[16:24])


def main():
    output, inputs = sys.argv[1], sys.argv[2:]
    images = []
    for path in inputs:
        with open(path, "rb") as f:
            data = f.read()
        width, height = png_size(data)
        if width <= 256 and height <= 256:
            images.append((width, height, data))
    images.sort()
    header = struct.pack("<HHH", 0, 1, len(images))
    offset = len(header) + 16 * len(images)
    entries, blobs = b"", b""
    for width, height, data in images:
        # 256 is written as 0 in the one-byte fields.
        entries += struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, 1, 32, len(data), offset)
        blobs += data
        offset += len(data)
    with open(output, "wb") as f:
        f.write(header + entries + blobs)


if __name__ == "__main__":
    main()
