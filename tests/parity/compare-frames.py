#!/usr/bin/env python3
"""Verdicts of run-differential.sh over its output folder.

    compare-frames.py OUT HOSTS NAME...

OUT/<script>/ holds lin.{status,out,err} and lin/fNN.ppm from the Linux replay tool, and
winI.{status,out,err} and winI/fNN.ppm from each of the HOSTS GDI hosts (named by NAME...).
Frames with far line end points are compared with wl/fNN.ppm (the Linux replay drawing
lines as Wine does) where present, else only reported. Prints one line per problem and a
summary; exits 1 on any failed run, JSON difference or differing frame.
"""
import json
import math
import os
import sys

COUNTER_W, COUNTER_H = 40, 16  # the counter area, drawn by Wine with its own font
FONT_W, FONT_H = 64, 18        # how far Wine's glyph cells reach beyond it
WINE_RESCALE = 2 ** 28         # Wine divides line end points from here on


def read_ppm(path):
    data = open(path, "rb").read()
    fields, pos = [], 0
    while len(fields) < 4:  # magic, width, height, maximum
        while data[pos:pos + 1].isspace():
            pos += 1
        start = pos
        while pos < len(data) and not data[pos:pos + 1].isspace():
            pos += 1
        fields.append(data[start:pos])
    if fields[0] != b"P6" or fields[3] != b"255":
        raise ValueError(f"{path}: not an 8-bit binary PPM")
    w, h = int(fields[1]), int(fields[2])
    return w, h, data[pos + 1:pos + 1 + 3 * w * h]


def far_lines(dump):
    """Whether a line of this frame may end beyond where Wine rescales."""
    if dump is None:
        return False
    if dump["string_art"]:
        points = dump["ring_a"] + dump["ring_b"]
    else:  # the hub lines start at ring A entry 0 and ring B entry 62
        points = [dump["ring_a"][0], dump["ring_b"][62]]
    biggest = max(abs(c) for p in points for c in p)
    centre = max(abs(dump["centre_x"]), abs(dump["centre_y"]))
    return biggest * math.sqrt(3) + centre >= WINE_RESCALE


def pixel_differences(a, b, w, counter_exempt):
    """(x, y, a, b) of differing pixels, leaving out the counter and Wine's glyphs."""
    found = []
    if a == b:
        return found
    row = 3 * w
    for y in range(len(a) // row):
        ra, rb = a[y * row:(y + 1) * row], b[y * row:(y + 1) * row]
        if ra == rb:
            continue
        for x in range(w):
            pa, pb = ra[3 * x:3 * x + 3], rb[3 * x:3 * x + 3]
            if pa == pb:
                continue
            # Wine's counter glyphs are grey, anti-aliased over whatever lies below.
            if counter_exempt and x < FONT_W and y < FONT_H and (
                    (x < COUNTER_W and y < COUNTER_H) or pb[0] == pb[1] == pb[2] != 0
                    and pb[0] != 0xFF):
                continue
            found.append((x, y, pa.hex(), pb.hex()))
    return found


def first_difference(a, b):
    la, lb = a.splitlines(), b.splitlines()
    for n, (x, y) in enumerate(zip(la, lb), 1):
        if x != y:
            return f"line {n}"
    return f"line {min(len(la), len(lb)) + 1} (one output is longer)"


def status_text(code):
    return {124: "timed out", 137: "killed after its time-out"}.get(code, f"exit status {code}")


def main():
    out, hosts, names = sys.argv[1], int(sys.argv[2]), sys.argv[3:]
    scripts = frames = differing = far_noted = far_compared = far_differing = failures = 0
    for script in sorted(os.listdir(out)):
        scripts += 1
        base = os.path.join(out, script)
        sides = ["lin"] + [f"win{i}" for i in range(hosts)]
        label = dict(zip(sides, ["Linux"] + names))
        status = {s: int(open(os.path.join(base, s + ".status")).read()) for s in sides}
        text = {s: open(os.path.join(base, s + ".out"), "rb").read() for s in sides}
        for s in sides:
            if status[s] != 0:
                failures += 1
                err = open(os.path.join(base, s + ".err"), errors="replace").read().strip()
                print(f"FAIL {script} {label[s]}: {status_text(status[s])} {err[:200]}")
        wl_status = os.path.join(base, "wl.status")
        if os.path.exists(wl_status) and int(open(wl_status).read()) != 0:
            failures += 1
            print(f"FAIL {script} Linux with Wine's far lines: "
                  + status_text(int(open(wl_status).read())))
        if status["lin"] != 0:
            continue
        dumps = []
        for line in text["lin"].splitlines():
            obj = json.loads(line)
            if "centre_x" in obj:
                dumps.append(obj)
        lin_frames = sorted(f for f in os.listdir(os.path.join(base, "lin")) if f.endswith(".ppm"))
        for s in sides[1:]:
            if status[s] != 0:
                continue
            if text[s] != text["lin"]:
                failures += 1
                print(f"FAIL {script} {label[s]}: JSON output differs at "
                      + first_difference(text["lin"], text[s]))
            far_before = False
            for k, frame in enumerate(lin_frames):
                dump = dumps[k] if len(dumps) == len(lin_frames) else None
                # In trail mode the back buffer keeps the lines of the frames before.
                far = far_lines(dump) or bool(dump and dump["trail"] and far_before)
                far_before = far
                path = os.path.join(base, s, frame)
                if not os.path.exists(path):
                    failures += 1
                    print(f"FAIL {script} {label[s]}: no frame {frame}")
                    continue
                reference = "lin"
                if far and os.path.exists(os.path.join(base, "wl", frame)):
                    reference = "wl"
                w, h, a = read_ppm(os.path.join(base, reference, frame))
                w2, h2, b = read_ppm(path)
                frames += 1
                far_compared += reference == "wl"
                if (w, h) != (w2, h2):
                    differing += 1
                    print(f"FAIL {script}/{frame} {label[s]}: size {w2}x{h2}, not {w}x{h}")
                    continue
                diff = pixel_differences(a, b, w, counter_exempt=True)
                far_noted += far
                if not diff:
                    continue
                noted = far and reference == "lin"
                far_differing += far
                differing += not noted
                print(f"{'note' if noted else 'FAIL'} {script}/{frame} {label[s]}: "
                      f"{len(diff)} differing pixels" + (" (far line end points)" if far else ""))
                for x, y, pa, pb in diff[:6]:
                    print(f"       ({x},{y}) Linux #{pa} {label[s]} #{pb}")
        # The Windows builds share Wine's drawing: they must agree everywhere.
        for s in sides[2:]:
            if status[s] != 0 or status["win0"] != 0:
                continue
            for frame in lin_frames:
                p0, p1 = os.path.join(base, "win0", frame), os.path.join(base, s, frame)
                if os.path.exists(p0) and os.path.exists(p1) and \
                        open(p0, "rb").read() != open(p1, "rb").read():
                    failures += 1
                    print(f"FAIL {script}/{frame}: {label['win0']} and {label[s]} differ")
    print(f"{scripts} scripts, {frames} frames compared, {differing} differing"
          f" ({far_noted} with far line end points, {far_compared} of them compared with"
          f" Wine's rescaling of such lines, {far_differing} differing;"
          f" {failures} failed runs or other differences)")
    return 1 if differing or failures else 0


if __name__ == "__main__":
    sys.exit(main())
