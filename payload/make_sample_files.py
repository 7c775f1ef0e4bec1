#!/usr/bin/env python3
"""Writes the generated files of the sample release folder into OUTDIR:
the shortcut icon, the help stand-in and the six style files.

The output depends on nothing but this script, so every build writes the
same bytes."""
import random
import struct
import sys
from pathlib import Path

SIZE = 32


def picture(x, y):
    """The shortcut's picture: a white T on a blue rounded square, as RGBA."""
    inside = 2 <= x < SIZE - 2 and 2 <= y < SIZE - 2
    corner = min(x, SIZE - 1 - x) + min(y, SIZE - 1 - y) < 5
    if not inside or corner:
        return (0, 0, 0, 0)
    bar = 7 <= y < 11 and 7 <= x < 25
    stem = 11 <= y < 26 and 14 <= x < 18
    if bar or stem:
        return (255, 255, 255, 255)
    shade = 120 + (x + y) * 2
    return (20, 60, min(shade, 255), 255)


def bitmap_rows(pixel_bytes):
    """Rows bottom-up, as a DIB stores them."""
    return b"".join(pixel_bytes(x, y) for y in reversed(range(SIZE)) for x in range(SIZE))


def and_mask():
    rows = []
    for y in reversed(range(SIZE)):
        bits = 0
        for x in range(SIZE):
            if picture(x, y)[3] == 0:
                bits |= 1 << (31 - x)
        rows.append(struct.pack(">I", bits))  # 32 bits: already a multiple of 4 bytes
    return b"".join(rows)


def dib_header(bits):
    image = SIZE * SIZE * bits // 8 + SIZE * 4
    # Height counts the colour image and the mask together.
    return struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, bits, 0, image, 0, 0, 0, 0)


def image_8bit():
    palette = [(0, 0, 0), (255, 255, 255)]
    palette += [(20, 60, min(120 + 2 * i, 255)) for i in range(62)]
    palette += [(0, 0, 0)] * (256 - len(palette))
    index = {}
    for i, colour in enumerate(palette[:64]):
        index.setdefault(colour, i)

    def pixel(x, y):
        r, g, b, a = picture(x, y)
        return bytes([index.get((r, g, b), 0) if a else 0])

    table = b"".join(struct.pack("BBBB", b, g, r, 0) for r, g, b in palette)
    return dib_header(8) + table + bitmap_rows(pixel) + and_mask()


def image_32bit():
    def pixel(x, y):
        r, g, b, a = picture(x, y)
        return struct.pack("BBBB", b, g, r, a)

    return dib_header(32) + bitmap_rows(pixel) + and_mask()


def icon():
    images = [(8, image_8bit()), (32, image_32bit())]
    head = struct.pack("<HHH", 0, 1, len(images))
    offset = len(head) + 16 * len(images)
    entries, data = b"", b""
    for bits, image in images:
        colours = 0  # 0 for 256 colours and more
        entries += struct.pack("<BBBBHHII", SIZE, SIZE, colours, 0, 1, bits, len(image), offset)
        offset += len(image)
        data += image
    return head + entries + data


def help_file():
    """A stand-in for compiled HTML help: the ITSF signature and header fields,
    then the topics as plain HTML."""
    topics = "".join(
        f"<h2>Kapitel {n}</h2><p>Hilfe zu Tolvex, Abschnitt {n}.</p>\r\n" for n in range(1, 60))
    body = ("<html><body><h1>Tolvex Hilfe</h1>\r\n" + topics + "</body></html>\r\n").encode("cp1252")
    header = b"ITSF" + struct.pack("<IIII", 3, 0x60, 1, 0x0407) + bytes(0x60 - 20)
    return header + body


def style(name, seed, blocks):
    """A style file: the VCL style signature, a name, then pseudo bitmap data
    that compresses about as well as real style images do."""
    rnd = random.Random(seed)
    out = bytearray(b"VCL_STYLE 2.0\x00")
    out += struct.pack("<H", len(name)) + name.encode("ascii")
    for _ in range(blocks):
        colour = bytes(rnd.randrange(256) for _ in range(4))
        run = rnd.randrange(16, 256)
        out += colour * run
        out += bytes(rnd.randrange(256) for _ in range(rnd.randrange(8, 64)))
    return bytes(out)


def main():
    out = Path(sys.argv[1])
    out.mkdir(parents=True, exist_ok=True)
    files = {"Shortcut.ico": icon(), "Tolvex.chm": help_file()}
    for i, letter in enumerate("ABCDEF"):
        files[f"Style{letter}.vsf"] = style(f"Tolvex {letter}", 1000 + i, 20 + 6 * i)
    for name, data in files.items():
        path = out / name
        if not path.exists() or path.read_bytes() != data:
            path.write_bytes(data)


if __name__ == "__main__":
    main()
