#!/usr/bin/env python3
"""Makes the Win32 window's artwork from the PNG files in res/: icon.ico (32x32, 32-bit with alpha and a
mask) and logo.bmp (64x44, 32-bit with alpha, which the window blends over its own background).
Run it again after changing res/icon.png or res/logo.png; its results are kept in res/."""
import struct
import sys
import zlib
from pathlib import Path


def read_png(path):
    """Returns width, height and rows of (r, g, b, a) tuples of an 8-bit RGBA, non-interlaced PNG."""
    data = Path(path).read_bytes()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", f"{path} is not a PNG file"
    pos, idat = 8, b""
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        chunk = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", chunk)
            assert (depth, colour, interlace) == (8, 6, 0), f"{path}: only 8-bit RGBA without interlace"
        elif kind == b"IDAT":
            idat += chunk
        pos += 12 + length
    raw = zlib.decompress(idat)
    stride, rows, previous = width * 4, [], bytearray(width * 4)
    for y in range(height):
        filter_type = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for x in range(stride):
            left = line[x - 4] if x >= 4 else 0
            up = previous[x]
            upper_left = previous[x - 4] if x >= 4 else 0
            if filter_type == 1:
                line[x] = (line[x] + left) & 0xFF
            elif filter_type == 2:
                line[x] = (line[x] + up) & 0xFF
            elif filter_type == 3:
                line[x] = (line[x] + (left + up) // 2) & 0xFF
            elif filter_type == 4:
                p = left + up - upper_left
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - upper_left)
                predictor = left if pa <= pb and pa <= pc else up if pb <= pc else upper_left
                line[x] = (line[x] + predictor) & 0xFF
        rows.append([tuple(line[i:i + 4]) for i in range(0, stride, 4)])
        previous = line
    return width, height, rows


def bgra_bottom_up(rows):
    return b"".join(bytes((b, g, r, a)) for row in reversed(rows) for (r, g, b, a) in row)


def bitmap_info(width, height):
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, 32, 0, 0, 0, 0, 0, 0)


def make_bmp(png, out):
    width, height, rows = read_png(png)
    pixels = bgra_bottom_up(rows)
    header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(pixels), 0, 0, 14 + 40)
    Path(out).write_bytes(header + bitmap_info(width, height) + pixels)


def make_ico(png, out):
    width, height, rows = read_png(png)
    mask_stride = ((width + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    image = bitmap_info(width, height * 2) + bgra_bottom_up(rows) + bytes(mask)
    directory = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, 1, 32,
                                                           len(image), 6 + 16)
    Path(out).write_bytes(directory + image)


if __name__ == "__main__":
    res = Path(sys.argv[1] if len(sys.argv) > 1 else Path(__file__).resolve().parent.parent / "res")
    make_ico(res / "icon.png", res / "icon.ico")
    make_bmp(res / "logo.png", res / "logo.bmp")
