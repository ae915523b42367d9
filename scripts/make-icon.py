#!/usr/bin/env python3
"""Writes src/ui/icons/ktr.png, the 32 x 32 window icon, from the pixel art below.

Each character is one pixel: a hexadecimal digit picks one of the 16 colours of the classic VGA
palette, "." is transparent. The PNG is a 4-bit indexed image holding only the colours used plus
one transparent entry, so it stays a genuine 16-colour icon. src/ui/icons/ktr.svg draws the same
design as vectors; keep the two in step when the art changes.

Usage: scripts/make-icon.py [--preview SCALE OUT.png]
"""
import struct
import sys
import zlib
from pathlib import Path

VGA = [
    (0x00, 0x00, 0x00), (0x00, 0x00, 0xAA), (0x00, 0xAA, 0x00), (0x00, 0xAA, 0xAA),
    (0xAA, 0x00, 0x00), (0xAA, 0x00, 0xAA), (0xAA, 0x55, 0x00), (0xAA, 0xAA, 0xAA),
    (0x55, 0x55, 0x55), (0x55, 0x55, 0xFF), (0x55, 0xFF, 0x55), (0x55, 0xFF, 0xFF),
    (0xFF, 0x55, 0x55), (0xFF, 0x55, 0xFF), (0xFF, 0xFF, 0x55), (0xFF, 0xFF, 0xFF),
]

# A running light: four lamps, the third one lit with a fading trail behind it, wired to the
# 25-pin parallel-port connector (its insert in the PC 99 port colour).
ART = """
................................
...............E...E...E........
................E..E..E.........
................................
..000.....000.....000.....000...
.0C440...0FCC0...0FEE0...07880..
0CC4440.0FFCCC0.0FFEEE0.0778880.
0444440.0CCCCC0.0EEEEE0.0888880.
0444440.0CCCCC0.0EEEEE0.0888880.
.04440...0CCC0...0EEE0...08880..
..000.....000.....000.....000...
...8.......8.......E.......8....
....8......8.......E......8.....
.....8......8.....E......8......
......8.....8.....E.....8.......
.......8.....8...E.....8........
........8....8...E....8.........
.........8...8...E...8..........
.00000000000000000000000000000..
0FFFFFFFFFFFFFFFFFFFFFFFFFFFFF0.
0777770000000000000000000777770.
0777770DDDDDDDDDDDDDDDDD0777770.
0777770550505050505050550777770.
0778777055555555555555507778770.
0780877055555555555555507780870.
0778777055050505050505507778770.
0777777705555555555555077777770.
0777777705555555555555077777770.
0777777770000000000000777777770.
0888888888888888888888888888880.
.00000000000000000000000000000..
................................
"""


def parse(art):
    rows = art.strip("\n").split("\n")
    assert len(rows) == 32, len(rows)
    for y, row in enumerate(rows):
        assert len(row) == 32, (y, len(row), row)
    return rows


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def write_indexed(rows, path):
    used = sorted({c for row in rows for c in row if c != "."}, key=lambda c: int(c, 16))
    palette = [VGA[int(c, 16)] for c in used]
    index = {c: i for i, c in enumerate(used)}
    transparent = len(palette)
    palette.append((0, 0, 0))
    assert len(palette) <= 16
    index["."] = transparent
    raw = b""
    for row in rows:
        pixels = [index[c] for c in row]
        raw += b"\x00" + bytes((pixels[i] << 4) | pixels[i + 1] for i in range(0, 32, 2))
    trns = bytes([255] * transparent + [0])
    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", 32, 32, 4, 3, 0, 0, 0))
    png += chunk(b"PLTE", b"".join(bytes(c) for c in palette))
    png += chunk(b"tRNS", trns)
    png += chunk(b"IDAT", zlib.compress(raw, 9))
    png += chunk(b"IEND", b"")
    Path(path).write_bytes(png)


def write_preview(rows, scale, path):
    raw = b""
    for row in rows:
        line = b""
        for c in row:
            rgba = (0xC0, 0xC0, 0xC0, 255) if c == "." else VGA[int(c, 16)] + (255,)
            line += bytes(rgba) * scale
        raw += (b"\x00" + line) * scale
    size = 32 * scale
    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(raw, 9))
    png += chunk(b"IEND", b"")
    Path(path).write_bytes(png)


def main():
    rows = parse(ART)
    if len(sys.argv) == 4 and sys.argv[1] == "--preview":
        write_preview(rows, int(sys.argv[2]), sys.argv[3])
        return
    out = Path(__file__).resolve().parent.parent / "src" / "ui" / "icons" / "ktr.png"
    write_indexed(rows, out)
    print(f"wrote {out}")


if __name__ == "__main__":
    main()
