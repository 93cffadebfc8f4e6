#!/usr/bin/env bash
# The software back buffer against the real drawing services: runs gdi-compare.script
# through the Linux replay tool and through fpu-sample-replay-gdi under Wine, then
#   - requires the JSON output (state dumps, trace lines, quit) to be identical, and
#   - compares every frame pixel by pixel outside the counter area (0,0)-(40,16).
# Wine draws the counter with a font of its own (anti-aliased, wider and taller than the
# System font's cells), so silver or darker grey pixels of it just outside that area, within the
# text's cells (x < 64, y < 18), are counted apart. Any other differing pixel fails, except
# in frames named far-*, whose line end points lie beyond 2^28 (there Wine rescales).
# Needs FPU_LINUX_REPLAY: the path of the Linux fpu-sample-replay.
source "$(dirname "$0")/common.bash"
: "${FPU_LINUX_REPLAY:?set FPU_LINUX_REPLAY to the Linux fpu-sample-replay}"
replay=$(realpath "$FPU_LINUX_REPLAY")
script="$(cd "$(dirname "$0")" && pwd)/gdi-compare.script"

cd "$work"
mkdir lin win
sed 's|OUT|lin|; s|EXT|png|' "$script" >lin.script
sed 's|OUT|win|; s|EXT|ppm|' "$script" >win.script
"$replay" --ticks 4242 --seed 7 lin.script >lin.out || fail "the Linux replay failed"
wine "$WIN_BUILD/fpu-sample-replay-gdi.exe" --ticks 4242 --seed 7 win.script >win.out ||
  fail "the GDI replay failed"
if ! cmp -s lin.out win.out; then
  diff <(tr ',' '\n' <lin.out) <(tr ',' '\n' <win.out) | head -20 >&2
  fail "the JSON outputs differ"
fi
ok "state dumps and trace lines are identical ($(wc -l <lin.out) lines)"

for png in lin/*.png; do
  name=$(basename "$png" .png)
  [[ -f "win/$name.ppm" ]] || fail "no GDI frame $name"
  convert "$png" "lin/$name.ppm"
done

python3 - lin win <<'PY' || fail "frames differ (listed above)"
import os, sys

def read_ppm(path):
    # A truncated or malformed file is an error, never a wait: every scan stops at the end.
    data = open(path, "rb").read()
    fields, pos = [], 0
    while len(fields) < 4:  # magic, width, height, maximum
        while pos < len(data) and data[pos:pos + 1].isspace():
            pos += 1
        start = pos
        while pos < len(data) and not data[pos:pos + 1].isspace():
            pos += 1
        if start == pos:
            sys.exit(f"FAIL {path}: the header ends early")
        fields.append(data[start:pos])
    if fields[0] != b"P6" or fields[3] != b"255":
        sys.exit(f"FAIL {path}: not a P6 image of 8-bit samples")
    w, h = int(fields[1]), int(fields[2])
    pixels = data[pos + 1:pos + 1 + 3 * w * h]
    if len(pixels) != 3 * w * h:
        sys.exit(f"FAIL {path}: {len(pixels)} bytes of pixels, not {3 * w * h}")
    return w, h, pixels

lin_dir, win_dir = sys.argv[1], sys.argv[2]
failed = False
for name in sorted(f[:-4] for f in os.listdir(win_dir) if f.endswith(".ppm")):
    w, h, a = read_ppm(os.path.join(lin_dir, name + ".ppm"))
    w2, h2, b = read_ppm(os.path.join(win_dir, name + ".ppm"))
    if (w, h) != (w2, h2):
        print(f"FAIL {name}: sizes {w}x{h} and {w2}x{h2}")
        failed = True
        continue
    text, other = 0, []
    if a != b:
        for i in range(0, len(a), 3):
            if a[i:i + 3] == b[i:i + 3]:
                continue
            x, y = (i // 3) % w, (i // 3) // w
            if x < 40 and y < 16:
                continue
            r, g, bl = b[i], b[i + 1], b[i + 2]
            if x < 64 and y < 18 and a[i:i + 3] == b"\0\0\0" and r == g == bl <= 0xC0:
                text += 1
            else:
                other.append((x, y, a[i:i + 3].hex(), b[i:i + 3].hex()))
    far = name.startswith("far-")
    verdict = "ok  " if not other else ("note" if far else "FAIL")
    print(f"{verdict} {name}: {len(other)} differing pixels"
          + (f", {text} of Wine's counter font beside the counter area" if text else ""))
    for x, y, pa, pb in other[:8]:
        print(f"       ({x},{y}) software #{pa} GDI #{pb}")
    failed = failed or (bool(other) and not far)
sys.exit(1 if failed else 0)
PY
ok "every frame matches outside the counter area"
font=$(probe font-info | tr -d '\r' | tr '\n' ' ') || font="(unknown)"
echo "     (the counter under Wine is drawn with: ${font})"
