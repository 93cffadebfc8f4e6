#!/usr/bin/env python3
"""What the viewer scenario (scenario.bash) reads off the viewer's picture, a binary PPM.

  scenario_shot.py bar SHOT SCALE
      the row of the current match (its top y, -1 for none), then a short signature of each
      word of the find bar, left to right
  scenario_shot.py same-text A B SCROLL_BAR
      fails (status 1) when the top half of the text, the scroll bar aside, differs
  scenario_shot.py colour SHOT R G B
      how many pixels have that colour
  scenario_shot.py box PLAIN LIST SCROLL_BAR
      "X Y WIDTH HEIGHT" of what the F1 list changed; fails (status 1) when the list is cut
      by the window, reaches the scroll bar, or text overflows its border
"""
import hashlib
import sys

BAR = bytes((210, 230, 255))
CURRENT = bytes((255, 150, 50))


def load(path):
    magic, width, height, _, pixels = open(path, "rb").read().split(maxsplit=4)
    assert magic == b"P6", path
    return int(width), int(height), pixels


def at(image, x, y):
    width, _, pixels = image
    i = 3 * (width * y + x)
    return pixels[i:i + 3]


def bar(path, scale):
    image = load(path)
    width, height, _ = image
    middle = width // 2
    mark = next((y for y in range(height) for x in range(0, width, 2)
                 if at(image, x, y) == CURRENT), -1)
    rows = [y for y in range(height) if at(image, middle, y) == BAR or at(image, 4 * scale, y) == BAR]
    if not rows:
        return "-1 no-bar"
    top = rows[0]
    # The band's own columns: inside the window's edges and left of its scroll bar.
    span = [x for x in range(width) if at(image, x, top) == BAR]
    ink = [any(at(image, x, y) != BAR for y in rows) for x in range(span[0] + 1, span[-1])]
    # Words: runs of inked columns apart by more than a gap inside a word.
    words, start, blank = [], None, 0
    for i, inked in enumerate(ink + [False] * (4 * scale + 1)):
        if inked:
            if start is None:
                start = i
            blank = 0
        elif start is not None:
            blank += 1
            if blank > 3 * scale:
                words.append((start, i - blank + 1))
                start = None
    signatures = []
    for first, end in words:
        bits = bytes(int(at(image, span[0] + 1 + x, y) != BAR) for x in range(first, end) for y in rows)
        signatures.append(hashlib.sha1(bits).hexdigest()[:8])
    return " ".join([str(mark)] + signatures)


def box(plain_path, list_path, scroll_bar):
    plain, shown = load(plain_path), load(list_path)
    width, height, _ = plain
    changed = [[at(plain, x, y) != at(shown, x, y) for x in range(width)] for y in range(height)]
    ys = [y for y in range(height) if any(changed[y])]
    if not ys:
        print("0 0 0 0")
        return 1
    xs = [x for x in range(width) if any(changed[y][x] for y in ys)]
    left, right, top, bottom = xs[0], xs[-1], ys[0], ys[-1]
    print(left, top, right - left + 1, bottom - top + 1)
    # A whole box ends in its border: a right column and a bottom row changed along the box.
    border_right = sum(changed[y][right] for y in range(top, bottom + 1)) / (bottom - top + 1)
    border_bottom = sum(changed[bottom][x] for x in range(left, right + 1)) / (right - left + 1)
    clear = right < width - scroll_bar and bottom < height - 1
    return 0 if clear and border_right > 0.9 and border_bottom > 0.9 else 1


def same_text(a_path, b_path, scroll_bar):
    a, b = load(a_path), load(b_path)
    width, height, _ = a
    return 0 if all(at(a, x, y) == at(b, x, y)
                    for y in range(height // 2) for x in range(width - scroll_bar)) else 1


if __name__ == "__main__":
    if sys.argv[1] == "same-text":
        sys.exit(same_text(sys.argv[2], sys.argv[3], int(sys.argv[4])))
    elif sys.argv[1] == "colour":
        colour = bytes(int(c) for c in sys.argv[3:6])
        pixels = load(sys.argv[2])[2]
        print(sum(pixels[i:i + 3] == colour for i in range(0, len(pixels), 3)))
    elif sys.argv[1] == "bar":
        print(bar(sys.argv[2], int(sys.argv[3])))
    elif sys.argv[1] == "box":
        sys.exit(box(sys.argv[2], sys.argv[3], int(sys.argv[4])))
    else:
        sys.exit("usage: scenario_shot.py bar|same-text|colour|box ...")
