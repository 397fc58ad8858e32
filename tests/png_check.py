"""Decodes a picture of an area with Python's own zlib and checks every pixel
against the area's files, read here independently of the program:

    png_check.py [--overlay] AREA.png AREA.wed AREA.tis

The PNG must have a valid signature and chunk CRCs, 8-bit RGB, unfiltered rows,
and show each cell of overlay 0 as the first frame of its tile through the
tile's palette (blue, green, red, unused). With --overlay, the water of each
overlay whose tileset lies beside the WED shows as the engines draw it: through
the key-coloured (pure green) pixels of a marked cell's tile, or under the
pixels of its secondary tile that are not key-coloured; any other secondary
tile is drawn over its cell without its key colour.
"""
import os
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


u16 = lambda b, at: struct.unpack_from("<H", b, at)[0]
s16 = lambda b, at: struct.unpack_from("<h", b, at)[0]
u32 = lambda b, at: struct.unpack_from("<I", b, at)[0]


class Tileset:
    def __init__(self, tis):
        self.tis, self.first = tis, (u32(tis, 16) if tis[:3] == b"TIS" else 0)

    def pixel(self, tile, r, c):
        """The colour of pixel (r, c) of a tile, and whether it is key-coloured."""
        start = self.first + 5120 * tile
        value = self.tis[start + 1024 + 64 * r + c]
        b, g, red = self.tis[start + 4 * value:start + 4 * value + 3]
        return (red, g, b), (b, g, red) == (0, 255, 0)


def overlay_tiles(wed, record, tileset, folder):
    """Frame 0 of each cell of an overlay, when its tileset lies beside the area."""
    width, height = u16(wed, record), u16(wed, record + 2)
    name = wed[record + 4:record + 12].split(b"\0")[0].decode("latin-1")
    path = os.path.join(folder, name + ".tis")
    if width == 0 or height == 0 or not os.path.exists(path):
        return None
    tilemap, lookup = u32(wed, record + 16), u32(wed, record + 20)
    tiles = [u16(wed, lookup + 2 * u16(wed, tilemap + 10 * k)) for k in range(width * height)]
    return width, height, tiles, Tileset(open(path, "rb").read())


def main(args):
    overlay = args[0] == "--overlay"
    png, wed_path, tis_path = args[1:] if overlay else args
    wed, area = open(wed_path, "rb").read(), Tileset(open(tis_path, "rb").read())
    table = u32(wed, 16)
    cells_wide, cells_high = u16(wed, table), u16(wed, table + 2)
    tilemap, lookup = u32(wed, table + 16), u32(wed, table + 20)
    folder = os.path.dirname(wed_path) or "."
    waters = {o: overlay_tiles(wed, table + 24 * o, area, folder) for o in range(1, 5)} if overlay else {}

    width, height, raw, stride = read_png(png)
    assert (width, height) == (64 * cells_wide, 64 * cells_high), f"size {width} x {height}"
    for k in range(cells_wide * cells_high):
        entry = tilemap + 10 * k
        tile, secondary, mask = u16(wed, lookup + 2 * u16(wed, entry)), s16(wed, entry + 4), wed[entry + 6]
        x, y = k % cells_wide, k // cells_wide
        water = next((w for o, w in sorted(waters.items()) if w and mask & (1 << o)), None)
        for r in range(64):
            want = bytearray()
            for c in range(64):
                shown, key = area.pixel(tile, r, c)
                if water and (key or secondary >= 0):
                    w_wide, w_high, w_tiles, w_set = water
                    shown = w_set.pixel(w_tiles[(y % w_high) * w_wide + x % w_wide], r, c)[0]
                if overlay and secondary >= 0:
                    top, top_key = area.pixel(secondary, r, c)
                    shown = shown if top_key else top
                want += bytes(shown)
            row = raw[(64 * y + r) * stride + 1 + 3 * 64 * x:(64 * y + r) * stride + 1 + 3 * 64 * (x + 1)]
            assert row == want, f"cell {k}, row {r}"
    print(f"{png}: {width} x {height}, every pixel as the area's files give it")


if __name__ == "__main__":
    main(sys.argv[1:])
