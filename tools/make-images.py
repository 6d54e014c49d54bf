#!/usr/bin/env python3
"""Draws the icon and bitmaps of prnuninst into uninstaller/res/images.

Run by hand when the pictures change; the results are committed. Plain Python,
no imaging library: a tiny raster with rectangles, lines and discs.
"""
import os
import struct

OUT = os.path.join(os.path.dirname(__file__), '..', 'uninstaller', 'res', 'images')
MAGENTA = (255, 0, 255)


class Canvas:
    def __init__(self, w, h, fill):
        self.w, self.h = w, h
        self.px = [[fill] * w for _ in range(h)]

    def put(self, x, y, c):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.px[y][x] = c

    def rect(self, x0, y0, x1, y1, c):
        for y in range(y0, y1):
            for x in range(x0, x1):
                self.put(x, y, c)

    def frame(self, x0, y0, x1, y1, c):
        for x in range(x0, x1):
            self.put(x, y0, c)
            self.put(x, y1 - 1, c)
        for y in range(y0, y1):
            self.put(x0, y, c)
            self.put(x1 - 1, y, c)

    def disc(self, cx, cy, r, c):
        for y in range(int(cy - r) - 1, int(cy + r) + 2):
            for x in range(int(cx - r) - 1, int(cx + r) + 2):
                if (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= r * r:
                    self.put(x, y, c)

    def line(self, x0, y0, x1, y1, c, width=1):
        steps = int(max(abs(x1 - x0), abs(y1 - y0)) * 4) + 1
        for i in range(steps + 1):
            t = i / steps
            x, y = x0 + (x1 - x0) * t, y0 + (y1 - y0) * t
            self.disc(x, y, width / 2, c)

    def blit(self, other, ox, oy):
        for y in range(other.h):
            for x in range(other.w):
                self.put(ox + x, oy + y, other.px[y][x])


def bmp24(canvas):
    row = (canvas.w * 3 + 3) & ~3
    data = bytearray()
    for y in range(canvas.h - 1, -1, -1):
        line = bytearray()
        for (r, g, b) in canvas.px[y]:
            line += bytes((b, g, r))
        line += b'\0' * (row - len(line))
        data += line
    header = struct.pack('<IiiHHIIiiII', 40, canvas.w, canvas.h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    return header, bytes(data)


def save_bmp(name, canvas):
    header, data = bmp24(canvas)
    file_header = struct.pack('<2sIHHI', b'BM', 14 + len(header) + len(data), 0, 0, 14 + len(header))
    with open(os.path.join(OUT, name), 'wb') as f:
        f.write(file_header + header + data)


def save_ico(name, canvases):
    """32-bit icon images; magenta pixels become transparent."""
    images = []
    for c in canvases:
        xor = bytearray()
        for y in range(c.h - 1, -1, -1):
            for p in c.px[y]:
                a = 0 if p == MAGENTA else 255
                r, g, b = (0, 0, 0) if a == 0 else p
                xor += bytes((b, g, r, a))
        mask_row = ((c.w + 31) // 32) * 4
        mask = bytearray()
        for y in range(c.h - 1, -1, -1):
            bits = bytearray(mask_row)
            for x, p in enumerate(c.px[y]):
                if p == MAGENTA:
                    bits[x // 8] |= 0x80 >> (x % 8)
            mask += bits
        header = struct.pack('<IiiHHIIiiII', 40, c.w, c.h * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
        images.append((c.w, c.h, header + bytes(xor) + bytes(mask)))
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for w, h, blob in images:
        out += struct.pack('<BBBBHHII', w % 256, h % 256, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
    for _, _, blob in images:
        out += blob
    with open(os.path.join(OUT, name), 'wb') as f:
        f.write(out)


BODY = (112, 120, 136)
BODY_DARK = (60, 66, 80)
PAPER = (255, 255, 255)
TRAY = (190, 196, 206)
GREEN = (30, 150, 60)
BLUE = (30, 90, 200)
ORANGE = (230, 120, 20)
GRAY = (150, 150, 150)


def printer(size):
    """A printer seen from the front, scaled to a square of `size` pixels."""
    c = Canvas(size, size, MAGENTA)
    s = size / 16.0
    def R(x0, y0, x1, y1, col):
        c.rect(round(x0 * s), round(y0 * s), round(x1 * s), round(y1 * s), col)
    R(4, 1, 12, 6, PAPER)
    c.frame(round(4 * s), round(1 * s), round(12 * s), round(6 * s), TRAY)
    R(1, 5, 15, 12, BODY)
    c.frame(round(1 * s), round(5 * s), round(15 * s), round(12 * s), BODY_DARK)
    R(3, 10, 13, 14, TRAY)
    R(4, 12, 12, 15, PAPER)
    R(11, 7, 13, 8, GREEN)
    return c


def state_image(size, index):
    """Printer with overlays: 1 default (check), 2 network (link), 4 masked (band)."""
    c = printer(size)
    s = size / 16.0
    if index & 4:
        c.rect(0, round(5 * s), size, round(7 * s), ORANGE)
    if index & 2:
        c.disc(12.5 * s, 12.5 * s, 3.2 * s, BLUE)
        c.line(10.5 * s, 12.5 * s, 14.5 * s, 12.5 * s, PAPER, max(1, s * 0.8))
        c.line(12.5 * s, 10.5 * s, 12.5 * s, 14.5 * s, PAPER, max(1, s * 0.8))
    if index & 1:
        c.disc(3.5 * s, 12.5 * s, 3.2 * s, GREEN)
        c.line(2 * s, 12.5 * s, 3.2 * s, 14 * s, PAPER, max(1, s * 0.9))
        c.line(3.2 * s, 14 * s, 5.3 * s, 11 * s, PAPER, max(1, s * 0.9))
    return c


def strip(images):
    w = sum(i.w for i in images)
    h = max(i.h for i in images)
    out = Canvas(w, h, MAGENTA)
    x = 0
    for i in images:
        out.blit(i, x, (h - i.h) // 2)
        x += i.w
    return out


def progress_states():
    pending = Canvas(16, 16, MAGENTA)
    pending.disc(8, 8, 3, GRAY)
    done = Canvas(16, 16, MAGENTA)
    done.line(3, 8.5, 6.5, 12, GREEN, 2.4)
    done.line(6.5, 12, 13, 4, GREEN, 2.4)
    current = Canvas(16, 16, MAGENTA)
    for y in range(3, 14):
        half = 5.5 - abs(y - 8)
        for x in range(4, 4 + int(max(0, half) * 1.6) + 1):
            current.put(x, y, BLUE)
    return strip([pending, done, current])


def side_picture():
    w, h = 84, 228
    c = Canvas(w, h, (0, 0, 0))
    for y in range(h):
        t = y / (h - 1)
        col = (int(20 + 30 * t), int(60 + 60 * t), int(140 + 80 * t))
        c.rect(0, y, w, y + 1, col)
    big = printer(48)
    for y in range(big.h):
        for x in range(big.w):
            if big.px[y][x] != MAGENTA:
                c.put(18 + x, 150 + y, big.px[y][x])
    return c


def main():
    os.makedirs(OUT, exist_ok=True)
    save_ico('program.ico', [printer(32), printer(16)])
    # 18 pixels a state: the 16-pixel printer with a margin on each side.
    padded = Canvas(18 * 8, 18, MAGENTA)
    for i in range(8):
        padded.blit(state_image(16, i), i * 18 + 1, 1)
    save_bmp('state_small.bmp', padded)
    save_bmp('state_large.bmp', strip([state_image(32, i) for i in range(8)]))
    save_bmp('progress_state.bmp', progress_states())
    save_bmp('side_picture.bmp', side_picture())


if __name__ == '__main__':
    main()
