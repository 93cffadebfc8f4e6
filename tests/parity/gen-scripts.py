#!/usr/bin/env python3
"""Seeded generator of replay scripts for the cross-build differential (run-differential.sh).

    gen-scripts.py --seed S --count N --out DIR [--frames F]

Writes DIR/sNNNN.script. Each script starts with a line "# replay-args: --ticks T --seed U"
that the differential passes to every replay program, and draws its frames with
"paint", "dump" and "png OUT/fNN.EXT": OUT and EXT are filled in per side, as in
tests/wine/gdi-compare.script. The same seed always gives the same scripts.

Between frames come keys (full-ring toggles, radii, separations, offsets, modes, turns,
resets), mouse drags with each button, stray mouse messages (also above and left of the
client area) and timer ticks with explicit T B C S. Some frames first reset the angles and
take a few steps, for the small angles where builds used to part.
"""
import argparse
import os
import random
import sys

# Key name -> weight. Radii, the full-ring toggle and turns come most often: they move
# ring points around, which is what the builds must agree on.
KEYS = {
    "X": 6, "A": 5, "D": 5, "Q": 4, "E": 4,                 # full ring, radii
    "Z": 3, "C": 3,                                          # ring separation
    "F": 1, "G": 1, "V": 1, "N": 1, "B": 1, "M": 1, "J": 1, "K": 1,  # offsets
    "OEM_COMMA": 1, "OEM_PERIOD": 1,                         # running indices
    "L": 2, "OEM_MINUS": 1, "S": 2, "OEM_3": 1,              # string art
    "P": 2, "H": 1, "Y": 0.3, "W": 0.5,                      # axes, trail, trace
    "LEFT": 4, "RIGHT": 4, "UP": 4, "DOWN": 4,               # turns
    "0": 1, "NUMPAD0": 0.5, "O": 0.5,                        # resets
    "T": 1, "R": 1,                                          # timer modes
    "SPACE": 1, "RETURN": 0.5, "BACK": 0.5,                  # mask off
    "U": 2, "I": 1, "F5": 0.3,                               # no command: turn again
}
# Pressed once at a time: twice undoes them.
TOGGLES = {"X", "S", "OEM_3", "P", "H", "Y", "T", "R"}
KEY_NAMES = list(KEYS)
KEY_WEIGHTS = [KEYS[k] for k in KEY_NAMES]


def coordinate(rng, size):
    """A client coordinate, now and then just outside the client area (as 16 bits)."""
    if rng.random() < 0.1:
        return rng.randrange(-8, 0) & 0xFFFF
    if rng.random() < 0.05:
        return rng.randrange(size, size + 40)
    return rng.randrange(0, size)


def drag(rng, out):
    """Press, a few moves with the button held, release."""
    button, flags = rng.choice([("l", 1), ("l", 1), ("r", 2), ("m", 16), ("l", 3)])
    x, y = coordinate(rng, 694), coordinate(rng, 655)
    out.append(f"mouse {button}down {x} {y} {flags}")
    for _ in range(rng.randrange(1, 7)):
        x = (x + rng.randrange(-30, 31)) & 0xFFFF
        y = (y + rng.randrange(-30, 31)) & 0xFFFF
        out.append(f"mouse move {x} {y} {flags}")
    out.append(f"mouse {button}up {x} {y} {flags & ~{'l': 1, 'r': 2, 'm': 16}[button]}")


def stray_mouse(rng, out):
    """One mouse message with any button state (12 = Shift and Control)."""
    event = rng.choice(["move", "move", "ldown", "lup", "rdown", "rup", "mdown", "mup"])
    flags = rng.choice([0, 1, 2, 3, 4, 8, 12, 13, 16, 17])
    out.append(f"mouse {event} {coordinate(rng, 694)} {coordinate(rng, 655)} {flags}")


def tick(rng, out):
    out.append("tick {} {} {} {}".format(rng.getrandbits(32), rng.getrandbits(16),
                                         rng.getrandbits(16), rng.getrandbits(16)))


def key(rng, out):
    name = rng.choices(KEY_NAMES, KEY_WEIGHTS)[0]
    count = 1 if name in TOGGLES or rng.random() < 0.7 else rng.randrange(2, 12)
    if count == 1:
        out.append(f"key {name}")
    else:
        out += ["repeat %d" % count, f"key {name}", "end"]


def small_angles(rng, out):
    """Angles back to 0, then one to four steps: about 0.09 to 0.35 radians."""
    out.append("key 0")
    for _ in range(rng.randrange(1, 5)):
        out.append("key " + rng.choice(["LEFT", "RIGHT", "UP", "DOWN"]))


ACTIONS = [(key, 10), (drag, 2), (stray_mouse, 1.5), (tick, 2), (small_angles, 1.5)]


def script(rng, frames, png):
    out = ["# replay-args: --ticks %d --seed %d" % (rng.getrandbits(32), rng.getrandbits(31))]
    for frame in range(frames):
        for _ in range(rng.randrange(1, 7)):
            action = rng.choices([a for a, _ in ACTIONS], [w for _, w in ACTIONS])[0]
            action(rng, out)
        out += ["paint", "dump", png % frame]
    if rng.random() < 0.1:  # a shutdown, and messages that were still queued behind it
        out += ["key ESCAPE", "key D", "paint", "dump", png % frames]
    return "\n".join(out) + "\n"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--seed", type=int, required=True)
    parser.add_argument("--count", type=int, required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--frames", type=int, default=12, help="frames per script")
    parser.add_argument("--plain-png", action="store_true",
                        help='frames as "png fNN.png" in the working folder, no OUT/EXT')
    args = parser.parse_args()
    if args.count < 0 or not 1 <= args.frames <= 99:
        sys.exit("gen-scripts.py: --count must be >= 0 and --frames 1..99")
    os.makedirs(args.out, exist_ok=True)
    for n in range(args.count):
        # One generator per script, so a script does not change when --count does.
        rng = random.Random(f"{args.seed}:{n}")
        with open(os.path.join(args.out, "s%04d.script" % n), "w") as f:
            f.write(script(rng, args.frames, "png f%02d.png" if args.plain_png else
                           "png OUT/f%02d.EXT"))


if __name__ == "__main__":
    main()
