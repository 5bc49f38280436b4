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


# The catalogue page's check boxes (on, off; normal, pressed, disabled), completed marks and
# the install button (normal, hover, pressed).
def box(checked, frame, fill):
    def pixel(x, y):
        if x in (1, 14) or y in (1, 14):
            return frame + (255,)
        if not (1 < x < 14 and 1 < y < 14):
            return (0, 0, 0, 0)
        tick = checked and ((4 <= x <= 7 and abs(y - (x + 4)) <= 1) or (7 <= x <= 11 and abs(y - (18 - x)) <= 1))
        return (frame + (255,)) if tick else fill + (255,)
    return pixel


for state, frame, fill in (("n", (40, 80, 160), (255, 255, 255)), ("p", (20, 50, 120), (200, 215, 240)),
                           ("d", (160, 160, 160), (235, 235, 235))):
    png("sysglance_check_on_%s.png" % state, 16, 16, box(True, frame, fill))
    png("sysglance_check_off_%s.png" % state, 16, 16, box(False, frame, fill))
for colour, name in (((40, 110, 200), "blue"), ((255, 255, 255), "white")):
    png("sysglance_comp_%s.png" % name, 16, 16, disc((40, 150, 70), lambda x, y: (4 <= x <= 7 and abs(y - (x + 3)) <= 1)
                                                     or (7 <= x <= 11 and abs(y - (17 - x)) <= 1)))
for state, top in (("n", (60, 120, 210)), ("on", (90, 150, 235)), ("p", (30, 80, 160))):
    def button(x, y, top=top):
        if x in (0, 63) or y in (0, 19):
            return (20, 50, 120, 255)
        # "Install" as a white bar with an arrow: the page's text says the rest.
        arrow = 8 <= x <= 14 and abs(y - 10) <= (14 - x) // 2 + 1 and x >= 11 or (4 <= x <= 10 and 9 <= y <= 11)
        return (255, 255, 255, 255) if arrow or (20 <= x <= 56 and 9 <= y <= 10) else top + (255,)
    png("sysglance_install_%s_blue.png" % state, 64, 20, button)
