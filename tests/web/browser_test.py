#!/usr/bin/env python3
"""The web page in headless Chromium, checked against the native replay tool.

  browser_test.py URL REPLAY_TOOL WORK_DIR SITE_DIR

Sends keys and mouse drags like the desktop end-to-end test, then compares the canvas
pixels with the replay tool's frame for the same messages and the trace panel with its
trace lines; Escape must end the demo and the button start it again; a flood of traced
string-art frames must leave the panel bounded, saying how many lines it shed. The page
explains itself (a key table, a trace heading), logs no errors, and opened from SITE_DIR as
a file it says how to serve it.
"""
import json
import os
import re
import subprocess
import sys

from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import WebDriverWait

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from browser import Page, start_browser  # noqa: E402

# (keys to send, modifier, the replay's key name or None when the demo gets no key-down).
# No key draws random numbers (L, minus): they would depend on the seed start-up takes from
# the clock.
# The first key selects a mask without Z, so only W's dump adds trace lines; every frame
# before string-art mode looks the same however often it is painted, and S comes last.
KEYS = [
    (Keys.LEFT, None, "LEFT"), (Keys.LEFT, None, "LEFT"), (Keys.UP, None, "UP"),
    ("1", None, "1"), (Keys.F1, None, "F1"), ("a", None, "A"), ("d", None, "D"),
    ("d", None, "D"), ("q", None, "Q"), ("z", None, "Z"), ("z", None, "Z"), ("c", None, "C"),
    (",", None, "OEM_COMMA"), (".", None, "OEM_PERIOD"),
    ("n", None, "N"), ("b", None, "B"), ("b", None, "B"), ("p", None, "P"),
    # With Alt a key is a system key, which the program ignores; so is F10.
    ("s", Keys.ALT, None), (Keys.F10, None, None),
    # Numeric-pad 0 with Num Lock on is the reset key (96).
    (Keys.NUMPAD0, None, "NUMPAD0"), ("w", None, "W"),
]
DRAGS = [
    (1, [(300, 300), (310, 300), (310, 320), (290, 320), (291, 321)]),
    (3, [(400, 200), (360, 220), (380, 180)]),
    # (750, 300) is beside the canvas: no motion arrives there, as on the desktop.
    (1, [(650, 300), (750, 300), (660, 300)]),
]
FINAL_KEYS = [(Keys.RIGHT, None, "RIGHT"), ("s", None, "S")]


class Failure(Exception):
    pass


def replay(tool, lines, work, trace="none"):
    script = os.path.join(work, "replay.txt")
    with open(script, "w") as f:
        f.write("\n".join(lines) + "\n")
    out = subprocess.run([tool, "--trace", trace, script], cwd=work, check=True,
                         capture_output=True, text=True).stdout
    return [json.loads(line)["trace"] for line in out.splitlines() if line.startswith('{"trace"')]


def same_pixels(a, b):
    out = subprocess.run(["compare", "-metric", "AE", a, b, "null:"], capture_output=True,
                         text=True)
    return out.stderr.strip()


def expect_canvas(page, tool, lines, work, label):
    expected = os.path.join(work, label + "-expected.png")
    replay(tool, lines + ["png " + expected], work)
    shot = os.path.join(work, label + "-canvas.png")
    page.canvas_png(shot)
    differing = same_pixels(shot, expected)
    if differing != "0":
        raise Failure("%s: canvas differs from the replay in %s pixels (see %s)" %
                      (label, differing, work))
    print("%s: canvas equals the replay tool's frame" % label)


def play_keys(page, keys, lines):
    for key, modifier, name in keys:
        page.key(key, modifier)
        if name:
            lines += ["key " + name, "paint"]


def play_drag(page, button, points, lines):
    down, up, flags = ("ldown", "lup", 1) if button == 1 else ("rdown", "rup", 2)
    page.drag(button, points)
    inside = [0 <= x < 700 and 0 <= y < 654 for x, y in points]
    lines += ["mouse %s %d %d %d" % ((down,) + points[0] + (flags,)), "paint"]
    for (x, y), seen in zip(points[1:], inside[1:]):
        if seen:
            lines.append("mouse move %d %d %d" % (x, y, flags))
        lines.append("paint")
    if inside[-1]:
        lines.append("mouse %s %d %d 0" % ((up,) + points[-1]))


def window_title(tool):
    """The program's window title, from names.sh beside the native replay tool."""
    names = os.path.join(os.path.dirname(tool), "names.sh")
    with open(names, encoding="utf-8") as f:
        for line in f:
            key, _, value = line.rstrip("\n").partition("=")
            if key == "FPU_WINDOW_TITLE":
                return value.strip("'")
    raise Failure("no FPU_WINDOW_TITLE in " + names)


def check_page_explains_itself(driver, page):
    """No errors logged (failed loads included); a key table that leaves the keys with the
    canvas when it is closed; a heading on the trace panel."""
    errors = [e["message"] for e in driver.get_log("browser") if e["level"] == "SEVERE"]
    keys = page.js("return document.getElementById('keys').textContent;")
    page.js("document.querySelector('#keys summary').click();")
    page.settle()
    closed = page.js("return !document.getElementById('keys').open && "
                     "document.activeElement.id === 'screen';")
    page.js("document.querySelector('#keys summary').click();")
    heading = page.js("return document.getElementById('trace-heading').textContent;")
    if errors or "Escape" not in keys or "drag" not in keys or not closed or "Trace" not in heading:
        raise Failure("page: errors %r, key table %r (closes leaving the keys: %s), heading %r" %
                      (errors, keys[:60], closed, heading))
    print("the page: a key table that leaves the keys with the canvas, a trace heading, "
          "no console errors")


def check_file_url(driver, site):
    """Opened from the disk, the page says how to serve it, and logs no error besides."""
    driver.get_log("browser")  # what the served page logged before
    driver.get("file://" + os.path.join(site, "index.html"))
    shown = driver.execute_script(
        "const n = document.getElementById('served'); return !n.hidden && n.textContent;")
    if not shown or "scripts/web.sh" not in shown:
        raise Failure("opened as a file, the page does not say how to serve it: %r" % shown)
    # Once index.js has run and the page has loaded, a refused fetch has failed too.
    WebDriverWait(driver, 10, poll_frequency=0.02).until(lambda d: d.execute_script(
        "return document.readyState === 'complete' && typeof Module.ccall === 'function';"))
    driver.execute_async_script("const done = arguments[0];"
                                "requestAnimationFrame(() => requestAnimationFrame(done));")
    errors = [e["message"] for e in driver.get_log("browser") if e["level"] in ("SEVERE", "WARNING")]
    if errors:
        raise Failure("opened as a file, the page logs %r" % errors)
    print("opened as a file, the page says how to serve it and logs no error")


def run(url, tool, work, site):
    driver = start_browser()
    try:
        page = Page(driver, url)
        title = driver.title
        if window_title(tool).strip() not in title:
            raise Failure("page title is %r" % title)
        check_page_explains_itself(driver, page)
        expect_canvas(page, tool, [], work, "start-up")

        lines = []
        play_keys(page, KEYS, lines)
        for button, points in DRAGS:
            play_drag(page, button, points, lines)
        play_keys(page, FINAL_KEYS, lines)
        expect_canvas(page, tool, lines, work, "after-input")

        expected_trace = replay(tool, lines, work, trace="stdout")
        shown = page.trace_text()
        if shown != "".join(line + "\n" for line in expected_trace) or not expected_trace:
            raise Failure("trace panel shows %r, the replay traced %r" % (shown, expected_trace))
        print("trace panel: the %d lines the replay traced" % len(expected_trace))
        if page.js("return document.activeElement.id") != "screen":
            raise Failure("the canvas lost the keyboard focus")

        page.key(Keys.ESCAPE)
        page.wait_for("return Module.fpuPage.stats.ended === 1 && "
                      "!document.getElementById('status').hidden")
        frames = page.frames()
        page.key("x")  # ignored once the demo has ended
        if page.frames() != frames:
            raise Failure("the demo painted after Escape")
        expect_canvas(page, tool, lines + ["key ESCAPE"], work, "after-escape")
        print("Escape: the demo ended, the canvas keeps its last frame")

        driver.find_element("id", "restart").click()
        page.wait_for("return Module.fpuPage.stats.frames > %d && "
                      "document.getElementById('status').hidden" % frames)
        # Traced string-art frames (1,400 lines each) overflow the panel's 5,000 lines.
        for key in ["s", "y"] + [" "] * 5:
            page.key(key)
        trace = page.js("const t = Module.fpuPage.trace; return [t.lines, t.dropped];")
        text = page.trace_text()
        first, rest = text.split("\n", 1)
        match = re.fullmatch(r"\[(\d+) trace lines dropped\]", first)
        if not match or int(match.group(1)) != trace[1] or rest.count("\n") != trace[0] or \
                trace[0] != 5000:
            raise Failure("bounded panel: first line %r, %d lines shown, page counts %r" %
                          (first, rest.count("\n"), trace))
        print("restart works; the panel keeps 5,000 lines and says %s" % first)

        # The panel follows new lines at its end, and stays put once the user scrolled up.
        at_end = ("const p = document.getElementById('trace');"
                  "return p.scrollTop + p.clientHeight >= p.scrollHeight - 2;")
        if not page.js(at_end):
            raise Failure("the panel did not follow the new lines")
        page.js("document.getElementById('trace').scrollTop = 100;")
        page.settle()
        page.key(" ")
        if page.js("return document.getElementById('trace').scrollTop;") != 100:
            raise Failure("the panel moved although the user had scrolled up")
        page.js("const p = document.getElementById('trace'); p.scrollTop = p.scrollHeight;")
        page.settle()
        page.key(" ")
        if not page.js(at_end):
            raise Failure("the panel did not follow again after the user scrolled to its end")
        print("the panel follows new lines unless the user scrolled up")
        check_file_url(driver, site)
    finally:
        driver.quit()


def main():
    url, tool, work, site = sys.argv[1], os.path.realpath(sys.argv[2]), sys.argv[3], \
        os.path.realpath(sys.argv[4])
    try:
        run(url, tool, work, site)
    except Failure as failure:
        print("FAIL: %s" % failure, file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
