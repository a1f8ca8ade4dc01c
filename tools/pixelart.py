#!/usr/bin/env python3
"""Turns the program's pixel art (text grids in app/art) into a 16-colour
.ico or .bmp file for the resource compiler.

An art file holds one or more images. Each image starts with a line
"image WIDTHxHEIGHT" followed by HEIGHT rows of WIDTH characters, one per
pixel; lines starting with '#' are comments. Characters name the standard
16-colour palette:

    k black   m maroon  g green  o olive   n navy   p purple  t teal  s silver
    d grey    r red     l lime   y yellow  b blue   M magenta c cyan  w white

and '.' is the background: transparent in an icon, magenta (the colour the
buttons treat as transparent) in a bitmap.

    pixelart.py icon   art.txt out.ico
    pixelart.py bitmap art.txt out.bmp
"""

import struct
import sys

PALETTE = [  # (character, red, green, blue), in palette order
    ("k", 0x00, 0x00, 0x00), ("m", 0x80, 0x00, 0x00), ("g", 0x00, 0x80, 0x00),
    ("o", 0x80, 0x80, 0x00), ("n", 0x00, 0x00, 0x80), ("p", 0x80, 0x00, 0x80),
    ("t", 0x00, 0x80, 0x80), ("s", 0xC0, 0xC0, 0xC0), ("d", 0x80, 0x80, 0x80),
    ("r", 0xFF, 0x00, 0x00), ("l", 0x00, 0xFF, 0x00), ("y", 0xFF, 0xFF, 0x00),
    ("b", 0x00, 0x00, 0xFF), ("M", 0xFF, 0x00, 0xFF), ("c", 0x00, 0xFF, 0xFF),
    ("w", 0xFF, 0xFF, 0xFF),
]
INDEX = {c: i for i, (c, _, _, _) in enumerate(PALETTE)}
MAGENTA = INDEX["M"]


def read_images(path):
    images, rows, size = [], None, None
    for number, line in enumerate(open(path, encoding="ascii"), 1):
        line = line.rstrip("\n")
        if line.startswith("#") or not line.strip():
            continue
        if line.startswith("image "):
            w, h = (int(v) for v in line.split()[1].split("x"))
            rows, size = [], (w, h)
            images.append((size, rows))
            continue
        if rows is None or len(rows) == size[1]:
            sys.exit(f"{path}:{number}: pixel row outside an image")
        if len(line) != size[0] or any(c != "." and c not in INDEX for c in line):
            sys.exit(f"{path}:{number}: expected {size[0]} pixels of the palette")
        rows.append(line)
    for (w, h), rows in images:
        if len(rows) != h:
            sys.exit(f"{path}: an image of height {h} has {len(rows)} rows")
    return images


def palette_bytes():
    return b"".join(struct.pack("<BBBB", b, g, r, 0) for _, r, g, b in PALETTE)


def pixels_4bit(rows, background):
    """Bottom-up rows of 4-bit pixels, each row padded to 4 bytes."""
    out = b""
    for row in reversed(rows):
        indices = [background if c == "." else INDEX[c] for c in row]
        if len(indices) % 2:
            indices.append(0)
        data = bytes((indices[i] << 4) | indices[i + 1] for i in range(0, len(indices), 2))
        out += data + b"\0" * (-len(data) % 4)
    return out


def mask_1bit(rows):
    """Bottom-up AND mask: 1 where the icon is transparent."""
    out = b""
    for row in reversed(rows):
        bits = [1 if c == "." else 0 for c in row]
        bits += [0] * (-len(bits) % 8)
        data = bytes(sum(bit << (7 - j) for j, bit in enumerate(bits[i:i + 8]))
                     for i in range(0, len(bits), 8))
        out += data + b"\0" * (-len(data) % 4)
    return out


def info_header(w, h, image_size):
    return struct.pack("<IiiHHIIiiII", 40, w, h, 1, 4, 0, image_size, 0, 0, 16, 0)


def icon(images):
    entries, blobs = b"", b""
    offset = 6 + 16 * len(images)
    for (w, h), rows in images:
        xor, andmask = pixels_4bit(rows, 0), mask_1bit(rows)
        blob = info_header(w, 2 * h, len(xor) + len(andmask)) + palette_bytes() + xor + andmask
        entries += struct.pack("<BBBBHHII", w % 256, h % 256, 16, 0, 1, 4, len(blob), offset)
        blobs += blob
        offset += len(blob)
    return struct.pack("<HHH", 0, 1, len(images)) + entries + blobs


def bitmap(images):
    if len(images) != 1:
        sys.exit("a bitmap holds exactly one image")
    (w, h), rows = images[0]
    pixels = pixels_4bit(rows, MAGENTA)
    info = info_header(w, h, len(pixels)) + palette_bytes()
    return struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info)) + info + pixels


def main():
    if len(sys.argv) != 4 or sys.argv[1] not in ("icon", "bitmap"):
        sys.exit(__doc__)
    kind, source, target = sys.argv[1:]
    images = read_images(source)
    data = icon(images) if kind == "icon" else bitmap(images)
    with open(target, "wb") as out:
        out.write(data)


if __name__ == "__main__":
    main()
