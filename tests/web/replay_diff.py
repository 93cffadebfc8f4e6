#!/usr/bin/env python3
"""Runs replay scripts through the native replay tool and the WebAssembly one (under Node)
and compares their JSON lines and every PNG frame they write.

  replay_diff.py NATIVE_TOOL WASM_JS [--generated N] [--seed S] [--expected DIR] SCRIPT...

Checked-in SCRIPTs must agree exactly (exit 1 otherwise). --generated N adds N random
scripts (reproducible from --seed); their differences are reported, and fail the run only
with --strict. With --expected the WebAssembly tool's output is also compared with the
checked-in expectations of each named script.
"""
import argparse
import json
import os
import random
import subprocess
import sys
import tempfile

KEYS = (["LEFT", "RIGHT", "UP", "DOWN", "SPACE", "RETURN", "BACK", "NUMPAD0", "OEM_3",
         "OEM_PERIOD", "OEM_COMMA", "OEM_MINUS", "F1", "45"] +
        [chr(c) for c in range(ord("A"), ord("Z") + 1)] + [str(d) for d in range(10)])


def generated_script(rng, png_prefix):
    """A random mix of keys, drags, ticks and paints with frequent dumps and two frames."""
    lines = []
    for _ in range(rng.randint(1, 3)):
        # Long runs of the same command reach big radii, separations and angles.
        lines += ["repeat %d" % rng.randint(5, 120), "key " + rng.choice("DZERVBT"), "end"]
    for step in range(rng.randint(40, 120)):
        roll = rng.random()
        if roll < 0.45:
            lines.append("key " + rng.choice(KEYS))
        elif roll < 0.6:
            button, flags = rng.choice([("l", 1), ("r", 2)])
            x, y = rng.randrange(0, 700), rng.randrange(0, 654)
            lines.append("mouse %sdown %d %d %d" % (button, x, y, flags))
            for _ in range(rng.randint(1, 4)):
                x += rng.randint(-60, 60)
                y += rng.randint(-60, 60)
                lines.append("mouse move %d %d %d" % (x, y, flags))
                lines.append("paint")
            lines.append("mouse %sup %d %d 0" % (button, x, y))
        elif roll < 0.85:
            if rng.random() < 0.5:
                lines.append("tick")
            else:
                lines.append("tick %d %d %d %d" % (rng.randrange(1 << 32), rng.randrange(1 << 16),
                                                   rng.randrange(1 << 16), rng.randrange(1 << 16)))
        else:
            lines += ["repeat %d" % rng.randint(2, 40), "tick", "paint", "end"]
        lines.append("paint")
        if step % 4 == 0:
            lines.append("dump")
    lines.insert(len(lines) // 2, "png %s_a.png" % png_prefix)
    lines += ["dump", "png %s_b.png" % png_prefix]
    return "\n".join(lines) + "\n"


def run(command, script, cwd, trace):
    result = subprocess.run(command + ["--trace", trace, script], cwd=cwd, capture_output=True,
                            text=True, timeout=300)
    return result.returncode, result.stdout


def differing_pixels(a, b):
    out = subprocess.run(["compare", "-metric", "AE", a, b, "null:"], capture_output=True,
                         text=True)
    try:
        return int(float(out.stderr.split()[0]))
    except (ValueError, IndexError):
        return -1  # unreadable or of different size


def numeric_difference(a, b):
    """Largest absolute difference between numbers at the same place of two JSON values."""
    if isinstance(a, (int, float)) and isinstance(b, (int, float)):
        return abs(a - b)
    if isinstance(a, list) and isinstance(b, list) and len(a) == len(b):
        return max([numeric_difference(x, y) for x, y in zip(a, b)] or [0])
    if isinstance(a, dict) and isinstance(b, dict):
        return max([numeric_difference(a[k], b.get(k)) for k in a] or [0])
    return float("inf") if a != b else 0


def compare(name, script, tools, work, expected_dir, report, trace):
    outputs = {}
    for label, command in tools.items():
        folder = os.path.join(work, label)
        os.makedirs(folder, exist_ok=True)
        outputs[label] = (folder,) + run(command, script, folder, trace)
    (n_dir, n_code, n_out), (w_dir, w_code, w_out) = outputs["native"], outputs["wasm"]
    problems = []
    if n_code != w_code:
        problems.append("exit status %d native, %d wasm" % (n_code, w_code))
    n_lines, w_lines = n_out.splitlines(), w_out.splitlines()
    report["lines"] += len(n_lines)
    report["dumps"] += sum(1 for line in n_lines if line.startswith('{"centre_x"'))
    if n_lines != w_lines:
        differing = [(a, b) for a, b in zip(n_lines, w_lines) if a != b]
        worst = max([numeric_difference(json.loads(a), json.loads(b)) for a, b in differing] or
                    [0])
        problems.append("%d of %d JSON lines differ (largest numeric difference %s)%s" % (
            len(differing), len(n_lines), worst,
            "" if len(n_lines) == len(w_lines) else ", line counts differ"))
        report["worst_value"] = max(report["worst_value"], worst)
        report["differing_lines"] += len(differing)
    if expected_dir:
        expected = os.path.join(expected_dir, name + ".jsonl")
        if os.path.exists(expected) and open(expected).read().splitlines() != w_lines:
            problems.append("wasm JSON lines differ from the checked-in expectation")
    for png in sorted(f for f in os.listdir(n_dir) if f.endswith(".png")):
        report["frames"] += 1
        count = differing_pixels(os.path.join(n_dir, png), os.path.join(w_dir, png))
        if count != 0:
            problems.append("%s: %d pixels differ" % (png, count))
            report["differing_frames"] += 1
            report["worst_pixels"] = max(report["worst_pixels"], count)
        if expected_dir and os.path.exists(os.path.join(expected_dir, png)):
            if differing_pixels(os.path.join(expected_dir, png), os.path.join(w_dir, png)) != 0:
                problems.append("%s: wasm frame differs from the checked-in expectation" % png)
        for folder in (n_dir, w_dir):
            os.remove(os.path.join(folder, png))
    return problems


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("native")
    parser.add_argument("wasm_js")
    parser.add_argument("scripts", nargs="*")
    parser.add_argument("--generated", type=int, default=0)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--expected")
    parser.add_argument("--strict", action="store_true")
    args = parser.parse_intermixed_args()

    tools = {"native": [os.path.realpath(args.native)],
             "wasm": ["node", "--no-experimental-fetch", os.path.realpath(args.wasm_js)]}
    failed = False
    with tempfile.TemporaryDirectory() as work:
        groups = [("checked-in", [(os.path.splitext(os.path.basename(s))[0], os.path.realpath(s))
                                  for s in args.scripts], True)]
        rng = random.Random(args.seed)
        generated = []
        for i in range(args.generated):
            path = os.path.join(work, "gen%04d.txt" % i)
            with open(path, "w") as f:
                f.write(generated_script(rng, "gen%04d" % i))
            generated.append(("gen%04d" % i, path))
        groups.append(("generated (seed %d)" % args.seed, generated, args.strict))
        for title, scripts, strict in groups:
            if not scripts:
                continue
            report = dict(lines=0, dumps=0, frames=0, differing_lines=0, differing_frames=0,
                          worst_value=0, worst_pixels=0, scripts_differing=0)
            for name, script in scripts:
                # Generated scripts trace whole string-art frames: their dumps say enough.
                checked_in = title == "checked-in"
                problems = compare(name, script, tools, work,
                                   args.expected if checked_in else None, report,
                                   "stdout" if checked_in else "none")
                if problems:
                    report["scripts_differing"] += 1
                    print("%s: %s" % (name, "; ".join(problems)), flush=True)
                    if strict:
                        failed = True
            print("%s: %d scripts, %d differ; %d JSON lines (%d dumps), %d differ, largest "
                  "numeric difference %s; %d frames, %d differ, at most %d pixels" % (
                      title, len(scripts), report["scripts_differing"], report["lines"],
                      report["dumps"], report["differing_lines"], report["worst_value"],
                      report["frames"], report["differing_frames"], report["worst_pixels"]))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
