#!/usr/bin/env python3
"""draw-pictures.py DESCRIPTION OUTDIR: draws the setup's button bitmaps and
its icon from the shapes in DESCRIPTION (see pictures.txt for the format).

Button bitmaps are 70 by 70 pixels, 8 bits per pixel, in three states: a
raised button (normal), a sunken one with the picture moved down and right
(pressed), and a flat grey one (disabled). Icons hold one 8-bit image per
size with a transparency mask. Only the Python standard library is used."""
import struct
import sys

SPACE = 70  # the drawing space of the description
BUTTON = 70  # the size of a button bitmap
FRAME = 2  # the width of a button's 3D frame

WHITE = (255, 255, 255)
LIGHT = (236, 233, 216)
SHADOW = (128, 128, 128)
DARK = (64, 64, 64)


def parse_colour(text):
    if not (len(text) == 7 and text[0] == '#'):
        raise ValueError('colour %r is not #RRGGBB' % text)
    return tuple(int(text[i:i + 2], 16) for i in (1, 3, 5))


def point_in_polygon(x, y, points):
    inside = False
    j = len(points) - 1
    for i, (xi, yi) in enumerate(points):
        xj, yj = points[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            inside = not inside
        j = i
    return inside


class Shape:
    def __init__(self, kind, numbers, fill, outline):
        self.kind, self.numbers, self.fill, self.outline = kind, numbers, fill, outline

    def covers(self, x, y):
        n = self.numbers
        if self.kind == 'rect':
            return n[0] <= x < n[2] and n[1] <= y < n[3]
        if self.kind == 'ellipse':
            return ((x - n[0]) / n[2]) ** 2 + ((y - n[1]) / n[3]) ** 2 <= 1.0
        return point_in_polygon(x, y, list(zip(n[0::2], n[1::2])))


def read_description(path):
    colours, pictures, buttons, icons = {}, {}, [], []
    current = None
    with open(path) as f:
        for number, line in enumerate(f, 1):
            words = line.split('#', 1)[0].split() if not line.lstrip().startswith('colour') else line.split()
            if not words:
                continue
            try:
                kind = words[0]
                if kind == 'colour':
                    colours[words[1]] = parse_colour(words[2])
                elif kind == 'picture':
                    current = pictures.setdefault(words[1], [])
                elif kind == 'rect' or kind == 'ellipse':
                    numbers = [float(w) for w in words[1:5]]
                    outline = colours[words[6]] if len(words) > 6 else None
                    current.append(Shape(kind, numbers, colours[words[5]], outline))
                elif kind == 'poly':
                    numbers = [float(v) for w in words[3:] for v in w.split(',')]
                    outline = None if words[2] == '-' else colours[words[2]]
                    current.append(Shape(kind, numbers, colours[words[1]], outline))
                elif kind == 'button':
                    buttons.append((words[1], words[2]))
                elif kind == 'icon':
                    icons.append((words[1], words[2], [int(w) for w in words[3:]]))
                else:
                    raise ValueError('unknown line')
            except (KeyError, IndexError, ValueError, AttributeError) as error:
                sys.exit('%s:%d: %s: %s' % (path, number, error, line.strip()))
    return colours, pictures, buttons, icons


def render(shapes, size, offset=0):
    """The picture at size by size pixels, moved by offset pixels down and
    right; None where no shape covers a pixel."""
    scale = SPACE / size
    pixels = [[None] * size for _ in range(size)]
    for shape in shapes:
        mask = [[shape.covers((x - offset + 0.5) * scale, (y - offset + 0.5) * scale) for x in range(size)]
                for y in range(size)]
        for y in range(size):
            for x in range(size):
                if not mask[y][x]:
                    continue
                edge = shape.outline is not None and any(
                    not (0 <= x + dx < size and 0 <= y + dy < size and mask[y + dy][x + dx])
                    for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)))
                pixels[y][x] = shape.outline if edge else shape.fill
    return pixels


def framed(pixels, face, pressed):
    """The picture on a button face with a raised (or, pressed, sunken) frame."""
    size = len(pixels)
    out = [[pixels[y][x] or face for x in range(size)] for y in range(size)]
    last = size - 1
    for i in range(size):
        for x, y, top_left in ((i, 0, True), (0, i, True), (i, last, False), (last, i, False),
                               (i, 1, True), (1, i, True), (i, last - 1, False), (last - 1, i, False)):
            inner = x in (1, last - 1) or y in (1, last - 1)
            if inner and (x in (0, last) or y in (0, last)):
                continue
            if top_left != pressed:
                out[y][x] = LIGHT if inner else WHITE
            else:
                out[y][x] = SHADOW if inner else DARK
    return out


def greyed(pixels, face):
    """A disabled picture: grey, and half-way faded into the button face."""
    def fade(colour):
        if colour is None:
            return None
        grey = (colour[0] * 30 + colour[1] * 59 + colour[2] * 11) // 100
        return tuple((grey + f) // 2 for f in face)
    return [[fade(c) for c in row] for row in pixels]


def palette_of(rows):
    palette = sorted({c for row in rows for c in row if c is not None})
    if len(palette) > 255:
        sys.exit('a picture uses more than 255 colours')
    return palette


def dib(rows, palette, height_factor=1):
    """BITMAPINFOHEADER, 256-entry palette and bottom-up 8-bit rows."""
    size = len(rows)
    stride = (size + 3) & ~3
    index = {c: i for i, c in enumerate(palette)}
    bits = b''.join(bytes(index.get(c, 0) for c in row) + bytes(stride - size) for row in reversed(rows))
    header = struct.pack('<IiiHHIIiiII', 40, size, size * height_factor, 1, 8, 0, len(bits), 2835, 2835, 256, 0)
    colours = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in palette)
    colours += bytes(4 * (256 - len(palette)))
    return header + colours + bits


def write_bmp(path, rows):
    body = dib(rows, palette_of(rows))
    with open(path, 'wb') as f:
        f.write(struct.pack('<2sIHHI', b'BM', 14 + len(body), 0, 0, 14 + 40 + 1024))
        f.write(body)


def write_icon(path, shapes, sizes):
    images = []
    for size in sizes:
        rows = render(shapes, size)
        palette = palette_of(rows)
        mask_stride = ((size + 31) // 32) * 4
        mask = b''
        for row in reversed(rows):
            bits = bytearray(mask_stride)
            for x, c in enumerate(row):
                if c is None:
                    bits[x // 8] |= 0x80 >> (x % 8)
            mask += bytes(bits)
        images.append((size, dib(rows, palette, 2) + mask))
    with open(path, 'wb') as f:
        f.write(struct.pack('<HHH', 0, 1, len(images)))
        offset = 6 + 16 * len(images)
        for size, data in images:
            f.write(struct.pack('<BBBBHHII', size % 256, size % 256, 0, 0, 1, 8, len(data), offset))
            offset += len(data)
        for _, data in images:
            f.write(data)


def main():
    if len(sys.argv) != 3:
        sys.exit('usage: draw-pictures.py DESCRIPTION OUTDIR')
    description, outdir = sys.argv[1], sys.argv[2]
    colours, pictures, buttons, icons = read_description(description)
    face = colours.get('face', (212, 208, 200))
    for base, name in buttons:
        picture = pictures[name]
        write_bmp('%s/%s.bmp' % (outdir, base), framed(render(picture, BUTTON), face, False))
        write_bmp('%s/%s-pressed.bmp' % (outdir, base), framed(render(picture, BUTTON, 2), face, True))
        write_bmp('%s/%s-disabled.bmp' % (outdir, base), framed(greyed(render(picture, BUTTON), face), face, False))
    for file_name, name, sizes in icons:
        write_icon('%s/%s' % (outdir, file_name), pictures[name], sizes)


if __name__ == '__main__':
    main()
