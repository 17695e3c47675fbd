#!/usr/bin/env python3
"""Turns a frame dumped by the replay tool (320 x 200 pixels, 4 bytes each,
little-endian 0x00RRGGBB) into a PNG, scaled up by a whole factor.

usage: raw_to_png.py FRAME.raw OUT.png [SCALE]
"""
import struct
import sys
import zlib

WIDTH, HEIGHT = 320, 200


def main() -> None:
    source, target = sys.argv[1], sys.argv[2]
    scale = int(sys.argv[3]) if len(sys.argv) > 3 else 2
    data = open(source, "rb").read()
    if len(data) != WIDTH * HEIGHT * 4:
        sys.exit(f"{source}: {len(data)} bytes, not a 320 x 200 frame")
    rows = []
    for y in range(HEIGHT):
        row = bytearray()
        for x in range(WIDTH):
            b, g, r, _ = data[(y * WIDTH + x) * 4:(y * WIDTH + x) * 4 + 4]
            row += bytes((r, g, b)) * scale
        rows.extend([b"\x00" + bytes(row)] * scale)
    def chunk(kind: bytes, body: bytes) -> bytes:
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
    header = struct.pack(">IIBBBBB", WIDTH * scale, HEIGHT * scale, 8, 2, 0, 0, 0)
    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(b"".join(rows), 9)) + chunk(b"IEND", b"")
    open(target, "wb").write(png)


if __name__ == "__main__":
    main()
