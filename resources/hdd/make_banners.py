#!/usr/bin/env python3
"""Draws the settings page's three banners (96, 120 and 144 dpi) with ImageMagick."""
import subprocess
for dpi, w, h in ((96, 350, 48), (120, 438, 60), (144, 525, 72)):
    s = h / 48
    p = lambda v: int(v * s)
    subprocess.run(["convert", "-size", f"{w}x{h}", "gradient:#16406f-#3a7fc4",
                    "-fill", "#dfe7ef", "-draw", f"roundrectangle {p(10)},{p(8)} {p(42)},{p(40)} {p(4)},{p(4)}",
                    "-fill", "#16406f", "-draw", f"circle {p(26)},{p(24)} {p(26)},{p(13)}",
                    "-fill", "#dfe7ef", "-draw", f"circle {p(26)},{p(24)} {p(26)},{p(21)}",
                    "-fill", "white", "-font", "DejaVu-Sans", "-pointsize", str(p(17)),
                    "-annotate", f"+{p(54)}+{p(31)}", "Hard Disk Usage", "-type", "Palette", f"BMP3:banner{dpi}.bmp"], check=True)
