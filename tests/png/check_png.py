#!/usr/bin/env python3
"""Checks the PNG files crdview makes of pictures: DIBs, a BMP file and an
"MGC" bitmap are built here byte by byte from a grid of pixels, turned into
PNG by png_tool, and read back with Python's zlib and struct alone (chunks and
their CRCs, header, palette, inflated rows); the pixels must be the grid's.
Each picture is made twice: deflated by zlib, and with its rows in stored
deflate blocks (as the web page, built without zlib, writes them), whose
block headers are read here too.

Usage: check_png.py PNG_TOOL SCRATCH_DIR
"""

import itertools
import os
import random
import struct
import subprocess
import sys
import zlib


def read_png(data):
    """Colour type, bit depth and rows of (r, g, b, a) of a PNG, checked as read."""
    assert data[:8] == b"\x89PNG\r\n\x1a\n", "signature"
    pos, chunks = 8, []
    while pos < len(data):
        length, kind = struct.unpack_from(">I4s", data, pos)
        body = data[pos + 8:pos + 8 + length]
        assert struct.unpack_from(">I", data, pos + 8 + length)[0] == zlib.crc32(kind + body), kind
        chunks.append((kind, body))
        pos += 12 + length
    kinds = [kind for kind, _ in chunks]  # IHDR, PLTE when paletted, IDAT..., IEND
    plte = kinds[1:2] == [b"PLTE"]
    assert kinds[0] == b"IHDR" and chunks[-1] == (b"IEND", b""), kinds
    assert len(kinds) >= 3 + plte and set(kinds[1 + plte:-1]) == {b"IDAT"}, kinds
    width, height, depth, ctype, *methods = struct.unpack(">IIBBBBB", chunks[0][1])
    assert methods == [0, 0, 0]
    palette = [chunks[1][1]] if plte else []
    assert plte == (ctype == 3) and (not plte or 3 <= len(palette[0]) <= 3 << depth)
    idat = [body for kind, body in chunks if kind == b"IDAT"]
    raw = zlib.decompress(b"".join(idat))
    blocks = stored_blocks(b"".join(idat), raw)
    channels = {0: 1, 2: 3, 3: 1, 6: 4}[ctype]
    row = (width * depth * channels + 7) // 8
    assert len(raw) == (row + 1) * height, "size of the rows"
    rows = []
    for y in range(height):
        line = raw[y * (row + 1):(y + 1) * (row + 1)]
        assert line[0] == 0, "filter type"
        pixels = []
        for x in range(width):
            if depth == 8:
                sample = line[1 + x * channels:1 + (x + 1) * channels]
            else:
                bit = x * depth
                sample = [line[1 + bit // 8] >> (8 - depth - bit % 8) & ((1 << depth) - 1)]
            if ctype == 0:
                grey = sample[0] * 255 // ((1 << depth) - 1)
                pixels.append((grey, grey, grey, 255))
            elif ctype == 3:
                assert 3 * sample[0] < len(palette[0]), "index beyond the palette"
                pixels.append(tuple(palette[0][3 * sample[0]:3 * sample[0] + 3]) + (255,))
            else:
                pixels.append(tuple(sample) + (255,) * (4 - channels))
        rows.append(pixels)
    return ctype, depth, rows, len(idat), blocks


def stored_blocks(stream, raw):
    """How many stored deflate blocks the zlib stream is made of, their
    headers checked; 0 when its first block is not a stored one."""
    if stream[:2] != b"\x78\x01" or stream[2] & 0b110 != 0:
        return 0
    pos, blocks, data = 2, 0, b""
    while True:
        final = stream[pos]
        size, complement = struct.unpack_from("<HH", stream, pos + 1)
        assert final in (0, 1) and size ^ complement == 0xFFFF, "stored block header"
        data += stream[pos + 5:pos + 5 + size]
        pos += 5 + size
        blocks += 1
        if final:
            break
        assert size == 0xFFFF, "a stored block not full before the last"
    assert data == raw and pos + 4 == len(stream), "stored blocks"
    return blocks


def pack_row(values, bits):
    """A row of a bitmap: indices packed from the most significant bit, or bytes."""
    if bits > 8:
        data = b"".join(values)
    else:
        number = 0
        for v in values:
            number = number << bits | v
        spare = -len(values) * bits % 8
        data = (number << spare).to_bytes((len(values) * bits + spare) // 8, "big")
    return data


def dib(grid, bits, palette=(), top_down=False):
    """A DIB of the rows in `grid` (indices, or colour tuples for 24 and 32 bits)."""
    height, width = len(grid), len(grid[0])
    header = struct.pack("<IiiHHIIiiII", 40, width, -height if top_down else height, 1, bits,
                         0, 0, 2835, 2835, len(palette), 0)
    rows = []
    for line in grid:
        if bits >= 24:
            line = [bytes((c[2], c[1], c[0]) + tuple(c[3:])) for c in line]
        data = pack_row(line, bits)
        rows.append(data + bytes(-len(data) % 4))
    table = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    return header + table + b"".join(rows if top_down else rows[::-1])


def main():
    tool, scratch = sys.argv[1:3]
    os.makedirs(scratch, exist_ok=True)
    rng = random.Random(17)

    def colours(n):
        return [tuple(rng.randrange(256) for _ in range(3)) for _ in range(n)]

    def indices(width, height, n):
        return [[rng.randrange(n) for _ in range(width)] for _ in range(height)]

    cases = []  # name, tool arguments, input, colour type, depth, expected rows
    mgc = indices(19, 3, 2)
    mgc_bits = b"".join(pack_row(r, 1) + bytes(-len(pack_row(r, 1)) % 2) for r in mgc)
    cases.append(("mgc", ["mgc", "19", "3"], mgc_bits, 0, 1,
                  [[(255 * v,) * 3 + (255,) for v in r] for r in mgc]))
    for bits, top_down, size in [(1, False, (13, 2)), (4, True, (7, 3)), (8, False, (5, 4))]:
        # 4 and 8 bits: 7 colours, and indices beyond them that show black.
        palette = colours(min(7, 1 << bits))
        grid = indices(*size, 1 << min(bits, 4))
        shown = palette + [(0, 0, 0)] * 16
        cases.append((f"{bits}-bit", ["dib"], dib(grid, bits, palette, top_down), 3, bits,
                      [[shown[i] + (255,) for i in r] for r in grid]))
    grid = [colours(300) for _ in range(200)]  # incompressible: several IDAT chunks
    cases.append(("24-bit", ["dib"], dib(grid, 24), 2, 8, [[c + (255,) for c in r] for r in grid]))
    grid = [[c + (rng.randrange(256),) for c in colours(6)] for _ in range(3)]
    cases.append(("32-bit", ["dib"], dib(grid, 32, top_down=True), 6, 8, grid))
    palette = colours(256)
    grid = indices(9, 2, 256)
    bmp = dib(grid, 8, palette)
    bmp = b"BM" + struct.pack("<III", 14 + len(bmp), 0, 14 + 40 + 1024) + bmp
    cases.append(("BMP file", ["bmp"], bmp, 3, 8, [[palette[i] + (255,) for i in r] for r in grid]))

    failures = 0
    for (name, args, data, ctype, depth, expected), stored in itertools.product(cases, (0, 1)):
        source = os.path.join(scratch, "in.bin")
        png = os.path.join(scratch, name + (".stored" if stored else "") + ".png")
        with open(source, "wb") as f:
            f.write(data)
        done = subprocess.run([tool] + ["--stored"] * stored + [*args, source, png])
        try:
            assert done.returncode == 0, f"exit status {done.returncode}"
            with open(png, "rb") as f:
                got_type, got_depth, rows, idat_chunks, blocks = read_png(f.read())
            assert (got_type, got_depth) == (ctype, depth), f"colour type, depth {got_type}, {got_depth}"
            assert rows == expected, "pixels"
            assert name != "24-bit" or idat_chunks > 1, "one IDAT chunk"
            # 24-bit: 200 rows of 901 bytes fill two blocks and part of a third.
            assert not stored or blocks == (3 if name == "24-bit" else 1), f"{blocks} stored blocks"
            assert stored or blocks == 0, "stored blocks where zlib deflates"
        except AssertionError as e:
            failures += 1
            print(f"FAIL: {name}{' (stored)' if stored else ''}: {e}")
    print(f"{len(cases)} pictures, deflated and stored, {failures} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
