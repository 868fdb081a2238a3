#!/usr/bin/env python3
"""Builds resources/vantorel.ico: a stopwatch with a lit 'elapsed' wedge.

The first image is 32x32 with 16 colours, because that is the one the window
class and the oldest shell views pick; larger 32-bit images follow for the
taskbar and high-DPI views. Everything is drawn here from a few shapes, so the
output is deterministic and needs nothing but the standard library.
"""

import math
import os
import struct
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
OUT = os.path.join(ROOT, "resources", "vantorel.ico")

# The standard 16-colour palette, in the order 4-bit DIBs use it.
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
BLACK, NAVY, SILVER, GRAY, RED, YELLOW, BLUE, WHITE = 0, 4, 7, 8, 9, 11, 12, 15

# --- geometry (unit square, y down) -------------------------------------------

CX, CY = 0.5, 0.565  # dial centre, low enough to leave room for the crown
R_CASE = 0.425
R_FACE = 0.320
HAND_ANGLE = 130.0  # degrees clockwise from twelve o'clock


def circle(cx, cy, r):
    r2 = r * r
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r2


def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x <= x1 and y0 <= y <= y1


def capsule(ax, ay, bx, by, r):
    """Points within r of segment a-b."""
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy

    def inside(x, y):
        t = ((x - ax) * dx + (y - ay) * dy) / length2
        t = max(0.0, min(1.0, t))
        px, py = ax + t * dx - x, ay + t * dy - y
        return px * px + py * py <= r * r

    return inside


def rotated_rect(cx, cy, angle_deg, half_w, half_h):
    """A rectangle centred on (cx, cy), rotated clockwise by angle_deg."""
    a = math.radians(angle_deg)
    c, s = math.cos(a), math.sin(a)

    def inside(x, y):
        dx, dy = x - cx, y - cy
        u = dx * c + dy * s
        v = -dx * s + dy * c
        return abs(u) <= half_w and abs(v) <= half_h

    return inside


def sector(cx, cy, r, start_deg, end_deg):
    """Wedge swept clockwise from start to end, angles from twelve o'clock."""
    r2 = r * r

    def inside(x, y):
        dx, dy = x - cx, y - cy
        if dx * dx + dy * dy > r2:
            return False
        a = math.degrees(math.atan2(dx, -dy)) % 360.0
        return start_deg <= a <= end_deg

    return inside


def at_angle(deg, r):
    a = math.radians(deg)
    return CX + r * math.sin(a), CY - r * math.cos(a)


def layers(size):
    """Shapes back to front as (test, rgb, palette index).

    Small sizes get fewer, bolder details: a one-pixel tick mark that lands
    between pixels just turns into mush.
    """
    small = size <= 16
    dark = (0x14, 0x22, 0x44)
    out = []
    if small:
        # Too few pixels for shading: a plain dark knob on a stem, no lap button.
        out.append((rect(0.44, 0.05, 0.56, 0.20), dark, NAVY))
        out.append((rect(0.31, 0.0, 0.69, 0.12), dark, NAVY))
    else:
        # Metal parts get the rim's dark outline, or they vanish on a light desktop.
        edge = 0.035
        metal = (0xB4, 0xBC, 0xC8)
        # Crown: a stem and a wider knob on top of it.
        for grow, rgb, index in ((edge, dark, NAVY), (0.0, metal, SILVER)):
            out.append((rect(0.43 - grow, 0.05, 0.57 + grow, 0.20), rgb, index))
            out.append((rect(0.33 - grow, 0.02 - grow, 0.67 + grow, 0.09 + grow), rgb, index))
        # Lap button at one o'clock, tilted to point away from the centre.
        bx, by = at_angle(42.0, R_CASE + 0.01)
        for grow, rgb, index in ((edge, dark, NAVY), (0.0, metal, SILVER)):
            out.append((rotated_rect(bx, by, 42.0, 0.07 + grow, 0.045 + grow), rgb, index))
    # Case: dark rim, then the blue body. At 16 pixels each ring is one pixel.
    rim = 0.05 if not small else 0.0625
    face = R_FACE if not small else R_CASE - 2 * 0.0625
    out.append((circle(CX, CY, R_CASE), dark, NAVY))
    out.append((circle(CX, CY, R_CASE - rim), (0x25, 0x6E, 0xE0), BLUE))
    # Face.
    out.append((circle(CX, CY, face), (0xFF, 0xFF, 0xFF), WHITE))
    # Time elapsed so far, swept from twelve to the hand.
    out.append((sector(CX, CY, face - (0.03 if not small else 0.0), 0.0, HAND_ANGLE),
                (0xFF, 0xD5, 0x3A), YELLOW))
    if not small:
        # Marks at twelve, three, six and nine.
        for deg in (0, 90, 180, 270):
            ax, ay = at_angle(deg, R_FACE - 0.035)
            bx, by = at_angle(deg, R_FACE - 0.10)
            out.append((capsule(ax, ay, bx, by, 0.022), dark, BLACK))
    # Hand and hub.
    hx, hy = at_angle(HAND_ANGLE, face - (0.05 if not small else 0.02))
    out.append((capsule(CX, CY, hx, hy, 0.035 if not small else 0.05), (0xD0, 0x1E, 0x1E), RED))
    out.append((circle(CX, CY, 0.06 if not small else 0.07), dark, BLACK))
    return out


# --- rendering ----------------------------------------------------------------


def render(size, ss):
    """Rows of (palette index, (r, g, b, a)) pixels, ss x ss samples each.

    The palette index is the colour most samples hit (None: transparent), which
    keeps the 16-colour images crisp; the RGBA value is the smooth average,
    with straight (not premultiplied) alpha as icons expect.
    """
    shapes = layers(size)
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            votes = {}
            acc = [0.0, 0.0, 0.0]
            covered = 0
            for sy in range(ss):
                for sx in range(ss):
                    x = (px + (sx + 0.5) / ss) / size
                    y = (py + (sy + 0.5) / ss) / size
                    hit = None
                    for test, rgb, index in reversed(shapes):
                        if test(x, y):
                            hit = (rgb, index)
                            break
                    key = hit[1] if hit else None
                    votes[key] = votes.get(key, 0) + 1
                    if hit:
                        covered += 1
                        for c in range(3):
                            acc[c] += hit[0][c]
            # Ties go to the lower index so the result never depends on dict order.
            index = max(votes, key=lambda k: (votes[k], -1 if k is None else -k))
            if covered:
                rgb = tuple(int(round(v / covered)) for v in acc)
                alpha = int(round(255 * covered / (ss * ss)))
            else:
                rgb, alpha = (0, 0, 0), 0
            row.append((index, rgb + (alpha,)))
        rows.append(row)
    return rows


# --- file formats -------------------------------------------------------------


def and_mask(rows, size, transparent):
    stride = ((size + 31) // 32) * 4
    out = bytearray()
    for row in reversed(rows):  # DIBs are stored bottom-up
        bits = bytearray(stride)
        for x, px in enumerate(row):
            if transparent(px):
                bits[x // 8] |= 0x80 >> (x % 8)
        out += bits
    return bytes(out)


def bitmap_header(size, bpp, image_bytes):
    # Height is doubled: the XOR image and the AND mask are stacked.
    return struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bpp, 0, image_bytes, 0, 0, 0, 0)


def dib_4bpp(rows, size):
    stride = ((size * 4 + 31) // 32) * 4
    xor = bytearray()
    for row in reversed(rows):
        line = bytearray(stride)
        for x, (index, _) in enumerate(row):
            if index is not None:
                line[x // 2] |= index << (4 if x % 2 == 0 else 0)
        xor += line
    mask = and_mask(rows, size, lambda px: px[0] is None)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    return bitmap_header(size, 4, len(xor) + len(mask)) + palette + bytes(xor) + mask


def dib_32bpp(rows, size):
    xor = bytearray()
    for row in reversed(rows):
        for _, (r, g, b, a) in row:
            xor += struct.pack("<BBBB", b, g, r, a)
    mask = and_mask(rows, size, lambda px: px[1][3] == 0)
    return bitmap_header(size, 32, len(xor) + len(mask)) + bytes(xor) + mask


def png(rows, size):
    raw = bytearray()
    for row in rows:
        raw.append(0)  # no filter
        for _, rgba in row:
            raw += bytes(rgba)

    def chunk(tag, data):
        return (struct.pack(">I", len(data)) + tag + data
                + struct.pack(">I", zlib.crc32(tag + data) & 0xFFFFFFFF))

    ihdr = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr)
            + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def ico(images):
    """images: list of (size, colour count, bits per pixel, encoded bytes)."""
    header = struct.pack("<HHH", 0, 1, len(images))
    offset = len(header) + 16 * len(images)
    entries, blobs = b"", b""
    for size, colours, bpp, data in images:
        dim = 0 if size >= 256 else size  # 0 stands for 256
        entries += struct.pack("<BBBBHHII", dim, dim, colours, 0, 1, bpp, len(data), offset)
        blobs += data
        offset += len(data)
    return header + entries + blobs


def main():
    images = []
    for size in (32, 16):
        images.append((size, 16, 4, dib_4bpp(render(size, 4), size)))
    for size in (32, 48):
        images.append((size, 0, 32, dib_32bpp(render(size, 6), size)))
    images.append((256, 0, 32, png(render(256, 3), 256)))
    os.makedirs(os.path.dirname(OUT), exist_ok=True)
    with open(OUT, "wb") as f:
        f.write(ico(images))


if __name__ == "__main__":
    main()
