#!/usr/bin/env python3
"""The web page on other screens, in headless Chromium:  screens_test.py REPLAY_TOOL WORK SITE

At each window size the whole picture shows, scaled by the page's rule, the trace panel can
be reached and positions on the scaled picture reach the demo as the replay tool's pixels.
Touch gestures equal their mouse drags, the key pad equals the keys, keys scroll the page
once the picture lets them go; then the small things, and the offline copy: the page reloads
with its server stopped, and a new build shows on the next load and replaces the old copy.
"""
import base64
import functools
import http.server
import math
import os
import shutil
import sys
import threading

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from browser import Page, start_browser  # noqa: E402
from browser_test import Failure, expect_canvas, same_pixels, window_title  # noqa: E402

# (name, width, height, device pixel ratio, a phone with touch)
SCREENS = [("3840x2160", 3840, 2160, 1, False), ("1920x1080", 1920, 1080, 1, False),
           ("1280x720", 1280, 720, 1, False), ("800x600", 800, 600, 1, False),
           ("390x844", 390, 844, 3, True)]
RECT = ("const r = document.getElementById(arguments[0]).getBoundingClientRect();"
        "return {left: r.left, top: r.top, right: r.right, bottom: r.bottom, width: r.width,"
        "height: r.height};")
FIRST_FRAME = "return Module.fpuPage && Module.fpuPage.stats.firstFrame !== null"


class Server:
    """Serves a folder on a loopback port kept across restarts (the page keeps its origin)."""

    def __init__(self, folder):
        quiet = type("Quiet", (http.server.SimpleHTTPRequestHandler,),
                     {"log_message": lambda *args: None})
        self.handler = functools.partial(quiet, directory=folder)
        self.port, self.httpd = 0, None

    def start(self):
        self.httpd = http.server.ThreadingHTTPServer(("127.0.0.1", self.port), self.handler)
        self.port = self.httpd.server_address[1]
        threading.Thread(target=self.httpd.serve_forever, daemon=True).start()
        return "http://127.0.0.1:%d/" % self.port

    def stop(self):
        if self.httpd:
            self.httpd.shutdown()
            self.httpd.server_close()
            self.httpd = None


def check(ok, message, *args):
    if not ok:
        raise Failure(message % args)


def errors(driver):
    return [e["message"] for e in driver.get_log("browser") if e["level"] == "SEVERE"]


def check_screen(page, name, ratio, work):
    """The whole picture in the window, grown by whole device pixels (sharp) or shrunk to
    fill the room (smooth); the panel beside it or reached through its link."""
    width, height, scroll_width = page.js("return [innerWidth, innerHeight, "
                                          "document.documentElement.scrollWidth];")
    beside = page.js("return document.querySelector('main').classList.contains('beside');")
    box, panel = page.js(RECT, "screen"), page.js(RECT, "trace")
    check(box["left"] >= 0 and box["top"] >= 0 and box["right"] <= width and
          box["bottom"] <= height and scroll_width <= width and
          abs(box["width"] / box["height"] - 700 / 654) < 0.01,
          "%s: the picture %r is not whole in the %dx%d window (page %d wide)", name, box, width,
          height, scroll_width)
    device = box["width"] * ratio
    drawn = page.js("return getComputedStyle(arguments[0]).imageRendering;", page.canvas)
    fills = max((panel if beside else box)["right"] / (width - 16), box["bottom"] / (height - 16))
    check(device % 700 == 0 and drawn == "pixelated" if device >= 700 * int(ratio) else
          drawn == "auto" and fills > 0.99,
          "%s: picture %r at ratio %s drawn %s", name, box, ratio, drawn)
    with open(os.path.join(work, "screen-%s.png" % name), "wb") as f:
        f.write(base64.b64decode(page.driver.execute_cdp_cmd("Page.captureScreenshot", {})["data"]))
    if not beside:
        link = page.driver.find_element("id", "to-trace")
        check(link.is_displayed() and page.js(RECT, "to-trace")["bottom"] <= height,
              "%s: the panel is below the picture with no link to it in view", name)
        link.click()
        panel = page.js(RECT, "trace")
    check(panel["top"] >= 0 and panel["bottom"] <= height and panel["right"] <= width and
          panel["height"] >= 150 and panel["width"] >= 250,
          "%s: the trace panel %r is out of reach", name, panel)
    print("%s: the whole picture at %.1f x %.1f (%s), the trace panel %s" % (
        name, box["width"], box["height"], drawn, "beside it" if beside else "below, linked"))


def check_mapping(page, tool, name, work):
    """A right drag on the scaled picture moves it by the picture pixels under the pointer
    (client positions of mouse events are whole CSS pixels)."""
    box = page.js(RECT, "screen")
    points = [(round(box["width"] * fx), round(box["height"] * fy))
              for fx, fy in [(0.5, 0.5), (0.53, 0.52), (0.61, 0.575), (0.377, 0.41)]]
    page.drag(3, points)
    pixels = [(x * 700 // box["width"], y * 654 // box["height"]) for x, y in points]
    lines = ["mouse rdown %d %d 2" % pixels[0], "paint"]
    lines += [line for p in pixels[1:] for line in ("mouse move %d %d 2" % p, "paint")]
    expect_canvas(page, tool, lines + ["mouse rup %d %d 0" % pixels[-1]], work, "mapped-" + name)


def twist(angle, mid=(180.0, 160.0), radius=50.0):
    return [(mid[0] + radius * math.cos(a + angle), mid[1] + radius * math.sin(a + angle))
            for a in (0.0, math.pi)]


# (gesture, touch steps, the mouse drag that equals it: button, points). A twist of 0.5 and
# 0.9 radians on a 50-pixel radius moves the pointer right by the arc.
GESTURES = [
    ("one finger = left drag", [[(180, 160)], [(190, 160)], [(200, 175)], [(150, 190)]],
     1, [(180, 160), (190, 160), (200, 175), (150, 190)]),
    ("two fingers = right drag", [[(150, 150), (200, 170)], [(152, 151), (202, 171)],
                                  [(170, 160), (220, 180)], [(140, 130), (190, 150)]],
     3, [(175, 160), (195, 170), (165, 140)]),
    ("a twist = middle drag", [twist(0), twist(0.05), twist(0.5), twist(0.9)],
     2, [(180, 160), (205, 160), (225, 160)]),
]


def check_touch_and_pad(driver, url, tool, work):
    shots = {}
    for label, act in [("start", lambda p: None)] + [
            (name + kind, functools.partial(action, arg)) for name, steps, button, points in
            GESTURES for kind, action, arg in
            [(" touch", lambda s, p: p.touch(s), steps),
             (" mouse", lambda b, p: p.drag(b[0], b[1]), (button, points))]]:
        page = Page(driver, url)
        act(page)
        shots[label] = os.path.join(work, "%d.png" % len(shots))
        page.canvas_png(shots[label])
    for name, *_ in GESTURES:
        check(same_pixels(shots[name + " touch"], shots[name + " mouse"]) == "0" and
              same_pixels(shots[name + " touch"], shots["start"]) != "0",
              "%s: the touch gives another picture than the mouse, or none", name)
        print("touch: %s, the same pixels" % name)
    page = Page(driver, url)
    check(page.js("return document.getElementById('keypad').open;"), "the key pad is closed")
    for code in ("KeyV", "KeyB", "KeyS"):
        page.js("document.querySelector('#keypad [data-code=%s]').click();" % code)
        page.settle()
    expect_canvas(page, tool, ["key V", "paint", "key B", "paint", "key S", "paint"], work,
                  "keypad")
    check(page.js("return document.activeElement.id") == "screen", "the pad kept the keys")


def check_keys_and_small_things(driver, url, tool):
    """Space and Page Down are the picture's until a click beside it; then they scroll. The
    title without its blank, a rule on restart, dark scroll bars, description, noscript, help."""
    page = Page(driver, url)
    page.key(" ")
    page.key("\ue00f")  # Page Down
    frames, scrolled = page.frames(), page.js("return scrollY;")
    driver.find_element("tag name", "h1").click()
    page.key("\ue00f")
    check(scrolled == 0 and page.js("return scrollY;") > 0 and page.frames() == frames,
          "Page Down: the picture's while it has the keys, the page's after a click beside it")
    page.js("arguments[0].focus();", page.canvas)  # the keys back to the picture
    page.key("w")
    page.key("\ue00c")  # Escape
    driver.find_element("id", "restart").click()
    page.settle()
    found = page.js(
        "const last = document.getElementById('trace').lastElementChild;"
        "return [document.querySelector('title').textContent, last.className,"
        "  getComputedStyle(document.documentElement).colorScheme,"
        "  getComputedStyle(document.getElementById('trace')).scrollbarColor,"
        "  document.querySelector('meta[name=description]').content.length > 40,"
        "  document.querySelector('noscript') !== null,"
        "  document.querySelector('link[rel=manifest]') !== null];")
    check(found[:3] == [window_title(tool).strip(), "restart", "dark"] and
          "auto" not in found[3] and all(found[4:]), "title, restart rule, look: %r", found)
    manifest = driver.execute_cdp_cmd("Page.getAppManifest", {})
    check(not manifest["errors"] and '"256x256"' in manifest["data"], "manifest: %r", manifest)
    check(page.js("return fetch(document.querySelector('footer a[href$=\".txt\"]').href)"
                  ".then((r) => r.ok);"), "the help link leads nowhere")
    print("keys scroll the page after a click beside the picture; title, restart rule, dark "
          "scroll bars, description, noscript, manifest, help link")


def check_offline(site, work):
    copy = os.path.join(work, "site-copy")
    shutil.copytree(site, copy)
    for name in os.listdir(copy):  # a build of yesterday: fresh for hours to a browser cache
        os.utime(os.path.join(copy, name), (os.path.getmtime(os.path.join(copy, name)) - 86400,) * 2)
    server, driver = Server(copy), start_browser()
    try:
        url = server.start()
        Page(driver, url).wait_for("return navigator.serviceWorker.controller !== null", 20)
        server.stop()
        driver.refresh()
        Page(driver, None)
        print("offline: the page reloads with its server stopped")
        for name, old, new in [("index.html", "<head>", '<head><meta name="build">'),
                               ("sw.js", "const version = '", "const version = 'next-")]:
            with open(os.path.join(copy, name), "r+", encoding="utf-8") as f:
                text = f.read().replace(old, new, 1)
                f.seek(0)
                f.write(text)
        server.start()
        page = Page(driver, url)
        check(page.js("return document.querySelector('meta[name=build]') !== null;"),
              "the new build did not show on the next load")
        page.wait_for("return caches.keys().then((k) => k.length === 1 && "
                      "k[0].startsWith('fpu-sample-next-'))", 20)
        server.stop()
        driver.refresh()
        Page(driver, None).wait_for("return !!document.querySelector('meta[name=build]')")
        print("offline: a new build shows on the next load and replaces the kept copy")
    finally:
        server.stop()
        driver.quit()


def run(tool, work, site):
    server, driver = Server(site), start_browser()
    url = server.start()
    try:
        for name, width, height, ratio, phone in SCREENS:
            driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", {
                "width": width, "height": height, "deviceScaleFactor": ratio, "mobile": phone})
            driver.execute_cdp_cmd("Emulation.setTouchEmulationEnabled",
                                   {"enabled": phone, "maxTouchPoints": 5})
            check_screen(Page(driver, url), name, ratio, work)
            if name != "1920x1080":  # unscaled there, as browser_test.py drives it
                check_mapping(Page(driver, url), tool, name, work)
            check(not errors(driver), "%s: console errors", name)
        check_touch_and_pad(driver, url, tool, work)  # on the phone
        check_keys_and_small_things(driver, url, tool)
        logged = errors(driver)
        check(not logged, "console errors %r", logged)
    finally:
        driver.quit()
        server.stop()
    check_offline(site, work)


if __name__ == "__main__":
    try:
        run(os.path.realpath(sys.argv[1]), sys.argv[2], os.path.realpath(sys.argv[3]))
    except Failure as failure:
        sys.exit("FAIL: %s" % failure)
