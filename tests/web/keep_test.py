#!/usr/bin/env python3
"""The page keeps and shares what was made, checked against the native replay tool.

  keep_test.py URL REPLAY_TOOL WORK_DIR

Plays keys (random mode included: its ticks must carry what they used), a drag and string
art, then saves the session and the frame through the page's buttons. The script, replayed
natively, must end on the canvas' frame and print the panel's trace lines; the saved PNG
must be that frame and the saved GIF the replay tool's recording of the script; the buttons must leave the keys with the canvas. The copied link,
opened in a fresh page, and the script opened as a file must replay to that frame and
leave the keys to the user; damaged, cut and oversized links and a script with a bad line
are refused with a message, and the page goes on.
"""
import base64
import json
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from browser import Page, start_browser  # noqa: E402

# Downloads land here instead of the browser's download folder.
CAPTURE = """
window.keptFiles = {};
Module.fpuKeep.download = (name, blob) => {
  const reader = new FileReader();
  reader.onload = () => { window.keptFiles[name] = reader.result; };
  reader.readAsDataURL(blob);
};
"""


class Failure(Exception):
    pass


def same_pixels(a, b):
    out = subprocess.run(["compare", "-metric", "AE", a, b, "null:"], capture_output=True,
                         text=True)
    return out.stderr.strip()


def kept(page, button, name):
    page.js("document.getElementById(arguments[0]).click();", button)
    page.wait_for("return window.keptFiles[arguments[0]] !== undefined".replace(
        "arguments[0]", json.dumps(name)))
    data = page.js("return window.keptFiles[arguments[0]];", name)
    return base64.b64decode(data.split(",", 1)[1])


def fresh_page(driver, url):
    driver.get("about:blank")
    page = Page(driver, url)
    page.js(CAPTURE)
    return page


def expect_canvas(page, expected, work, label):
    shot = os.path.join(work, label + "-canvas.png")
    page.canvas_png(shot)
    differing = same_pixels(shot, expected)
    if differing != "0":
        raise Failure("%s: the canvas differs from the replay in %s pixels" % (label, differing))


def expect_keys_act(page, label):
    frames = page.frames()
    page.key("\ue031")  # F1 turns the scene
    if page.frames() == frames:
        raise Failure("%s: a key did not paint" % label)


def run(url, tool, work):
    driver = start_browser()
    try:
        page = Page(driver, url)
        page.js(CAPTURE)
        for key in ["\ue031", "s", "v", "b", "b", "r"]:  # F1 traces a line
            page.key(key)
        time.sleep(1.5)
        page.key("r")
        page.drag(1, [(300, 300), (340, 300), (340, 360)])
        page.key("l")
        page.settle()

        script = kept(page, "save-session", "fpu-sample-session.txt").decode()
        if not script.startswith("# ") or "\nstart " not in script:
            raise Failure("the saved session does not start with its start line: %r" %
                          script[:120])
        if not any(line.startswith("tick ") and len(line.split()) == 5
                   for line in script.splitlines()):
            raise Failure("random mode's ticks were saved without their values")
        path = os.path.join(work, "session.txt")
        with open(path, "w") as f:
            f.write(script)
        expected = os.path.join(work, "replayed.png")
        out = subprocess.run([tool, "--trace", "stdout", "-"], input=script + "png %s\n" % expected,
                             capture_output=True, text=True, check=True).stdout
        traced = [json.loads(line)["trace"] for line in out.splitlines()
                  if line.startswith('{"trace"')]
        panel = page.js("return document.getElementById('trace').textContent;")
        if not traced or panel != "".join(line + "\n" for line in traced):
            raise Failure("the panel shows %d lines, the replay traced %d" %
                          (panel.count("\n"), len(traced)))

        canvas = os.path.join(work, "canvas.png")
        page.canvas_png(canvas)
        differing = same_pixels(canvas, expected)
        if differing != "0":
            raise Failure("the replayed session differs from the canvas in %s pixels" % differing)
        frame = os.path.join(work, "frame.png")
        with open(frame, "wb") as f:
            f.write(kept(page, "save-frame", "fpu-sample-frame.png"))
        differing = same_pixels(frame, expected)
        if differing != "0":
            raise Failure("the saved frame differs from the replay's in %s pixels" % differing)
        gif = kept(page, "save-gif", "fpu-sample-last-seconds.gif")
        recorded = os.path.join(work, "recorded.gif")
        subprocess.run([tool, "--trace", "none", "--record", recorded, path], check=True,
                       capture_output=True)
        with open(recorded, "rb") as f:
            if f.read() != gif:  # the session is shorter than the GIF's 10 s
                raise Failure("the page's GIF (%d bytes) is not the replay tool's recording" %
                              len(gif))
        if page.js("return document.activeElement.id") != "screen":
            raise Failure("the buttons took the keys from the canvas")
        print("the page's session (%d bytes, %d trace lines) replays natively to its canvas; "
              "the saved frame is that frame, the saved GIF (%d bytes) its recording" %
              (len(script), len(traced), len(gif)))

        page.js("document.getElementById('copy-link').click();")
        page.wait_for("return !document.getElementById('keep-link').hidden")
        link = page.js("return document.getElementById('keep-link').value;")
        if not link.startswith(url.split("#")[0] + "#session="):
            raise Failure("the copied link is %r" % link[:100])
        page = fresh_page(driver, link)
        page.wait_for("return Module.fpuKeep.replays === 1")
        page.settle()
        expect_canvas(page, expected, work, "link")
        expect_keys_act(page, "after the link's replay")
        print("the link (%d characters) replays to the same frame in a fresh page; the keys "
              "are the user's" % len(link))

        data = link.split("#session=", 1)[1]
        for label, fragment in [("garbage", "#session=%%%not*a*session"),
                                ("cut short", "#session=" + data[:len(data) // 2]),
                                ("not deflate", "#session=" + "QUJD" * 1000)]:
            page = fresh_page(driver, url.split("#")[0] + fragment)
            page.wait_for("return Module.fpuKeep.message !== ''")
            message = page.js("return document.getElementById('keep-status').textContent;")
            if "does not hold a session" not in message:
                raise Failure("a %s link: the page says %r" % (label, message))
            expect_keys_act(page, "after a %s link" % label)
        started = time.monotonic()
        message = driver.execute_async_script(
            "const done = arguments[0];"
            "Module.fpuKeep.openLink('#session=' + 'A'.repeat(10000000))"
            "  .then(() => done(Module.fpuKeep.message));")
        if "longer than any session link" not in message:
            raise Failure("a 10 MB link: the page says %r" % message)
        print("damaged, cut and 10 MB links are refused with a message (the last in %.2f s); "
              "the page goes on" % (time.monotonic() - started))

        picker = driver.find_element("id", "open-session")
        picker.send_keys(os.path.realpath(path))
        page.wait_for("return Module.fpuKeep.replays === 1")
        page.settle()
        expect_canvas(page, expected, work, "file")
        bad = os.path.join(work, "bad.txt")
        with open(bad, "w") as f:
            f.write(script + "key F1\npaint\nbogus line\n")
        picker.send_keys(os.path.realpath(bad))
        page.wait_for("return Module.fpuKeep.replays === 2")
        message = page.js("return document.getElementById('keep-status').textContent;")
        if "unknown command 'bogus'" not in message:
            raise Failure("a script with a bad line: the page says %r" % message)
        expect_keys_act(page, "after a refused file")
        # Past the page's step limit: refused, and nothing of it stays (a fresh start-up).
        endless = os.path.join(work, "endless.txt")
        with open(endless, "w") as f:
            f.write("repeat 400000\ntick\nend\n")
        picker.send_keys(os.path.realpath(endless))
        page.wait_for("return Module.fpuKeep.replays === 3")
        page.settle()
        message = page.js("return document.getElementById('keep-status').textContent;")
        if "step limit" not in message:
            raise Failure("a script past the step limit: the page says %r" % message)
        start_up = os.path.join(work, "start-up.png")
        subprocess.run([tool, "--trace", "none", "-"], input="png %s\n" % start_up, text=True,
                       capture_output=True, check=True)
        expect_canvas(page, start_up, work, "past-the-limit")
        print("a session file opened in the page replays to the same frame; one with a bad "
              "line is refused whole with its line number, one past the step limit leaves a "
              "fresh start")
    finally:
        driver.quit()


def main():
    url, tool, work = sys.argv[1], os.path.realpath(sys.argv[2]), sys.argv[3]
    try:
        run(url, tool, work)
    except Failure as failure:
        print("FAIL: %s" % failure, file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
