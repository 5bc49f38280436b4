#!/usr/bin/env python3
"""Draws the web module's page images and settings banners (standard library only).

Run from this folder: python3 make_images.py. The outputs are committed; rerun after a change.
"""
import math
import struct
import zlib


def png(path, w, h, pixel):
    rows = b"".join(b"\0" + b"".join(bytes(pixel(x, y)) for x in range(w)) for y in range(h))
    chunk = lambda t, d: struct.pack(">I", len(d)) + t + d + struct.pack(">I", zlib.crc32(t + d) & 0xFFFFFFFF)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 6, 0, 0, 0))
                + chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))


def bmp(path, w, h, pixel):
    stride = (w * 3 + 3) & ~3
    data = b"".join(b"".join(bytes(reversed(pixel(x, y)[:3])) for x in range(w)) + b"\0" * (stride - w * 3)
                    for y in reversed(range(h)))
    header = struct.pack("<2sIHHI", b"BM", 54 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + data)


def disc(colour, mark):
    def pixel(x, y):
        d = math.hypot(x - 7.5, y - 7.5)
        if d > 7.5:
            return (0, 0, 0, 0)
        if mark(x, y):
            return (255, 255, 255, 255)
        return colour + (255,)
    return pixel


png("pop_arrow.png", 12, 12, lambda x, y: (60, 90, 160, 255) if 2 <= x <= 2 + (6 - abs(y - 6)) and 1 <= y <= 11 else (0, 0, 0, 0))
png("Itemicon_important.png", 16, 16, disc((200, 40, 40), lambda x, y: x in (7, 8) and (3 <= y <= 9 or 11 <= y <= 12)))
png("Itemicon_support.png", 16, 16, disc((40, 110, 200), lambda x, y: abs(math.hypot(x - 7.5, y - 7.5) - 4) < 1))
png("Itemicon_topics.png", 16, 16, disc((40, 150, 70), lambda x, y: abs(x - 7.5) + abs(y - 7.5) < 3.5))
png("velmlogo.png", 96, 24, lambda x, y: (30, 60, 130, 255) if (y - 4) * 3 < 40 and abs((x % 24) - 12) < (20 - y) // 2 else (0, 0, 0, 0))

for name, w, h in (("banner96.bmp", 350, 48), ("banner120.bmp", 438, 60), ("banner144.bmp", 525, 72)):
    def banner(x, y, w=w, h=h):
        t = x / w
        base = (int(20 + 40 * t), int(70 + 60 * t), int(150 + 80 * t))
        r = h * 0.9
        if math.hypot(x - w * 0.88, y - h * 0.5) < r * 0.45:  # a globe for web notices
            ring = abs(math.hypot(x - w * 0.88, y - h * 0.5) - r * 0.3) < h * 0.03
            meridian = abs(x - w * 0.88) < h * 0.02 or abs(y - h * 0.5) < h * 0.02
            return (255, 255, 255) if ring or meridian else (90, 160, 230)
        return base
    bmp(name, w, h, banner)
