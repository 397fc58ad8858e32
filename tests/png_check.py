"""Decodes a picture of an area with Python's own zlib and checks every pixel
against the area's files, read here independently of the program:

    png_check.py AREA.png AREA.wed AREA.tis

The PNG must have a valid signature and chunk CRCs, 8-bit RGB, unfiltered rows,
and show each cell of overlay 0 as the first frame of its tile through the
tile's palette (blue, green, red, unused).
"""
import struct
import sys
import zlib


def read_png(path):
    data = open(path, "rb").read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", "signature"
    at, chunks = 8, {}
    while at < len(data):
        (length,) = struct.unpack(">I", data[at:at + 4])
        kind, body = data[at + 4:at + 8], data[at + 8:at + 8 + length]
        (crc,) = struct.unpack(">I", data[at + 8 + length:at + 12 + length])
        assert zlib.crc32(kind + body) == crc, f"CRC of {kind!r}"
        chunks[kind] = chunks.get(kind, b"") + body
        at += 12 + length
    assert b"IEND" in chunks, "IEND"
    width, height, depth, colour = struct.unpack(">IIBB", chunks[b"IHDR"][:10])
    assert (depth, colour) == (8, 2), "8-bit RGB"
    raw = zlib.decompress(chunks[b"IDAT"])
    stride = 1 + 3 * width
    assert len(raw) == stride * height, "image data size"
    assert all(raw[y * stride] == 0 for y in range(height)), "filter type 0"
    return width, height, raw, stride


def main(png, wed_path, tis_path):
    wed, tis = open(wed_path, "rb").read(), open(tis_path, "rb").read()
    u16 = lambda b, at: struct.unpack_from("<H", b, at)[0]
    u32 = lambda b, at: struct.unpack_from("<I", b, at)[0]
    table = u32(wed, 16)
    cells_wide, cells_high = u16(wed, table), u16(wed, table + 2)
    tilemap, lookup = u32(wed, table + 16), u32(wed, table + 20)
    first_tile = u32(tis, 16) if tis[:3] == b"TIS" else 0

    width, height, raw, stride = read_png(png)
    assert (width, height) == (64 * cells_wide, 64 * cells_high), f"size {width} x {height}"
    for k in range(cells_wide * cells_high):
        tile = u16(wed, lookup + 2 * u16(wed, tilemap + 10 * k))
        start = first_tile + 5120 * tile
        palette, pixels = tis[start:start + 1024], tis[start + 1024:start + 5120]
        cx, cy = 64 * (k % cells_wide), 64 * (k // cells_wide)
        for r in range(64):
            row = raw[(cy + r) * stride + 1 + 3 * cx:(cy + r) * stride + 1 + 3 * (cx + 64)]
            want = bytes(c for p in pixels[64 * r:64 * r + 64]
                         for c in (palette[4 * p + 2], palette[4 * p + 1], palette[4 * p]))
            assert row == want, f"cell {k}, row {r}"
    print(f"{png}: {width} x {height}, every pixel as the area's files give it")


if __name__ == "__main__":
    main(*sys.argv[1:])
