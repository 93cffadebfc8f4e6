#!/usr/bin/env python3
"""The web page on other screens than a wide desktop, in headless Chromium.

  screens_test.py REPLAY_TOOL WORK_DIR SITE_DIR

At each window size (a phone's with touch among them) the whole picture shows, scaled by
the page's rule, the trace panel can be reached and positions on the scaled picture reach
the demo as the replay tool's picture pixels. Touch gestures equal their mouse drags, the
key pad's keys equal the keyboard's, keys scroll the page once the picture lets them go.
Then the small things (tab title, restart rule, dark scroll bars, description, help link)
and the service worker: the page reloads with its server stopped, and a new build shows on
the next load and replaces the old copy.
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
from browser_test import Failure, expect_canvas, replay, same_pixels, window_title  # noqa: E402

# (name, width, height, device pixel ratio, a phone with touch)
SCREENS = [
    ("3840x2160", 3840, 2160, 1, False),
    ("1920x1080", 1920, 1080, 1, False),
    ("1280x720", 1280, 720, 1, False),
    ("800x600", 800, 600, 1, False),
    ("390x844", 390, 844, 3, True),
]
VIEW = (700, 654)


class Server:
    """A static server for one folder on a loopback port that stays the same across restarts,
    so that the page keeps its origin (and its service worker)."""

    def __init__(self, folder):
        self.folder, self.port, self.httpd = folder, 0, None

    def start(self):
        handler = functools.partial(Quiet, directory=self.folder)
        self.httpd = http.server.ThreadingHTTPServer(("127.0.0.1", self.port), handler)
        self.port = self.httpd.server_address[1]
        threading.Thread(target=self.httpd.serve_forever, daemon=True).start()
        return "http://127.0.0.1:%d/" % self.port

    def stop(self):
        if self.httpd:
            self.httpd.shutdown()
            self.httpd.server_close()
            self.httpd = None


class Quiet(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


def emulate(driver, width, height, ratio, phone):
    driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", {
        "width": width, "height": height, "deviceScaleFactor": ratio, "mobile": phone})
    driver.execute_cdp_cmd("Emulation.setTouchEmulationEnabled",
                           {"enabled": phone, "maxTouchPoints": 5})


def errors(driver):
    return [e["message"] for e in driver.get_log("browser") if e["level"] == "SEVERE"]


def rect(page, element_id):
    return page.js("const r = document.getElementById(arguments[0]).getBoundingClientRect();"
                   "return {left: r.left, top: r.top, right: r.right, bottom: r.bottom,"
                   "        width: r.width, height: r.height};", element_id)


def picture_pixel(css, extent, pixels):
    return math.floor(css * pixels / extent)


def check_screen(page, name, ratio, work):
    """The whole picture in the window at the page's scale; the panel beside it or reached
    through the link to it."""
    view = page.js("return [innerWidth, innerHeight, document.documentElement.scrollWidth];")
    beside = page.js("return document.querySelector('main').classList.contains('beside');")
    box = rect(page, "screen")
    if box["left"] < 0 or box["right"] > view[0] or box["top"] < 0 or box["bottom"] > view[1] \
            or view[2] > view[0]:
        raise Failure("%s: the picture %r is not whole in the window %r" % (name, box, view))
    device = box["width"] * ratio
    rendering = page.js("return getComputedStyle(arguments[0]).imageRendering;", page.canvas)
    if device >= VIEW[0] * int(ratio):  # grown: whole device pixels, sharp
        good = device % VIEW[0] == 0 and rendering == "pixelated"
    else:  # shrunk: smooth, and as large as fits: it (or the panel beside it) meets the
        # window's margin at the right or the bottom
        right = rect(page, "trace")["right"] if beside else box["right"]
        fills = max(right / (view[0] - 16), box["bottom"] / (view[1] - 16))
        good = rendering == "auto" and fills > 0.99
    if not good or abs(box["width"] / box["height"] - VIEW[0] / VIEW[1]) > 0.01:
        raise Failure("%s: picture %.2f x %.2f CSS pixels at ratio %s drawn %s" %
                      (name, box["width"], box["height"], ratio, rendering))
    shot = page.driver.execute_cdp_cmd("Page.captureScreenshot", {})["data"]
    with open(os.path.join(work, "screen-%s.png" % name), "wb") as f:
        f.write(base64.b64decode(shot))

    if not beside:
        link = page.driver.find_element("id", "to-trace")
        if not link.is_displayed() or rect(page, "to-trace")["bottom"] > view[1]:
            raise Failure("%s: the panel is below the picture with no link to it in view" % name)
        link.click()
    panel = rect(page, "trace")
    if panel["top"] < 0 or panel["bottom"] > view[1] or panel["right"] > view[0] or \
            panel["height"] < 150 or panel["width"] < 250:
        raise Failure("%s: the trace panel %r is out of reach in %r (beside: %s)" %
                      (name, panel, view, beside))
    page.js("window.scrollTo(0, 0);")
    print("%s: the whole picture at %.1f x %.1f (%s), the trace panel %s" % (
        name, box["width"], box["height"], rendering,
        "beside it" if beside else "below it, reached by its link"))


def check_mapping(page, tool, name, work):
    """A right drag on the scaled picture moves it by the picture pixels under the pointer."""
    box = rect(page, "screen")
    # Whole CSS pixels: a mouse event's clientX and clientY are whole.
    points = [(round(box["width"] * fx), round(box["height"] * fy))
              for fx, fy in [(0.5, 0.5), (0.53, 0.52), (0.61, 0.575), (0.377, 0.41)]]
    page.drag(3, points)
    pixels = [(picture_pixel(x, box["width"], VIEW[0]), picture_pixel(y, box["height"], VIEW[1]))
              for x, y in points]
    lines = ["mouse rdown %d %d 2" % pixels[0], "paint"]
    for p in pixels[1:]:
        lines += ["mouse move %d %d 2" % p, "paint"]
    lines.append("mouse rup %d %d 0" % pixels[-1])
    expect_canvas(page, tool, lines, work, "mapped-" + name)


def canvas_after(driver, url, work, label, action):
    page = Page(driver, url)
    action(page)
    path = os.path.join(work, label + ".png")
    page.canvas_png(path)
    return page, path


# (name, touch steps, the mouse drag that should equal them: button, points)
def gestures():
    mid = (180.0, 160.0)
    twist = [(mid[0] + 50 * math.cos(a), mid[1] + 50 * math.sin(a)) for a in (0.0, math.pi)]

    def twisted(angle):
        return [(mid[0] + 50 * math.cos(a + angle), mid[1] + 50 * math.sin(a + angle))
                for a in (0.0, math.pi)]

    return [
        ("one finger = left drag",
         [[(180, 160)], [(190, 160)], [(200, 175)], [(150, 190)], [(151, 191)]],
         1, [(180, 160), (190, 160), (200, 175), (150, 190), (151, 191)]),
        ("two fingers = right drag",
         [[(150, 150), (200, 170)], [(152, 151), (202, 171)], [(170, 160), (220, 180)],
          [(140, 130), (190, 150)]],
         3, [(175, 160), (195, 170), (165, 140)]),
        # Clockwise by 0.5 and then 0.9 radians on a 50-pixel radius: the pointer moves right
        # by the arc.
        ("a twist = middle drag",
         [twist, twisted(0.05), twisted(0.5), twisted(0.9)],
         2, [mid, (mid[0] + 25.0, mid[1]), (mid[0] + 45.0, mid[1])]),
    ]


def check_touch(driver, url, work):
    start = os.path.join(work, "touch-start.png")
    Page(driver, url).canvas_png(start)
    for name, steps, button, points in gestures():
        _, touched = canvas_after(driver, url, work, "touch", lambda p: p.touch(steps))
        _, dragged = canvas_after(driver, url, work, "mouse", lambda p: p.drag(button, points))
        if same_pixels(touched, dragged) != "0" or same_pixels(touched, start) == "0":
            raise Failure("%s: the touch gives another picture than the mouse, or none "
                          "(see %s)" % (name, work))
        print("touch: %s, the same pixels" % name)


def check_keypad(driver, url, tool, work):
    """The pad's V, B, S give the replay's frame for those keys: their messages are the
    keyboard's."""
    page = Page(driver, url)
    if not page.js("return document.getElementById('keypad').open;"):
        raise Failure("the key pad is closed on a touch screen")
    for code in ("KeyV", "KeyB", "KeyS"):
        page.js("document.querySelector('#keypad button[data-code=\"%s\"]').click();" % code)
        page.settle()
    expect_canvas(page, tool, ["key V", "paint", "key B", "paint", "key S", "paint"], work,
                  "keypad")
    if page.js("return document.activeElement.id") != "screen":
        raise Failure("the key pad kept the keys from the picture")


def check_scroll_keys(driver, url):
    """With the picture focused Space and Page Down are the demo's; once it lets the keys go
    (a click beside it), they scroll the page."""
    page = Page(driver, url)
    page.key(" ")
    page.key("\ue00f")  # Page Down
    if page.js("return scrollY;") != 0:
        raise Failure("keys for the focused picture scrolled the page")
    frames = page.frames()
    page.driver.find_element("tag name", "h1").click()
    page.key("\ue00f")
    scrolled = page.js("return [scrollY, document.activeElement.id];")
    if scrolled[0] <= 0 or page.frames() != frames:
        raise Failure("after a click beside the picture Page Down did not scroll the page "
                      "(scrollY, focus: %r)" % scrolled)
    print("keys: the picture's while it has them, the page's scroll after a click beside it")


def check_small_things(driver, url, tool):
    page = Page(driver, url)
    raw = page.js("return document.querySelector('title').textContent;")
    if raw != window_title(tool).strip():
        raise Failure("the tab's title is %r" % raw)
    page.key("w")
    page.key("\ue00c")  # Escape
    page.wait_for("return !document.getElementById('status').hidden")
    page.driver.find_element("id", "restart").click()
    page.settle()
    last = page.js("const p = document.getElementById('trace'); const b = p.lastElementChild;"
                   "return [b.className, b.textContent, p.childElementCount];")
    if last[0] != "restart" or "started again" not in last[1] or last[2] < 2:
        raise Failure("no rule under the old run's lines after a restart: %r" % last)
    look = page.js(
        "const t = getComputedStyle(document.getElementById('trace'));"
        "return [getComputedStyle(document.documentElement).colorScheme, t.scrollbarColor,"
        "  document.querySelector('meta[name=description]').content,"
        "  document.querySelector('noscript') !== null,"
        "  document.querySelector('link[rel=manifest]').href];")
    if look[0] != "dark" or "auto" in look[1] or len(look[2]) < 40 or not look[3]:
        raise Failure("scroll bars, description or noscript: %r" % look)
    help_ok = page.js("return fetch(document.querySelector('footer a[href$=\".txt\"]').href)"
                      ".then((r) => r.ok && r.text()).then((t) => t && t.includes('scripts/web.sh'))")
    if not help_ok:
        raise Failure("the help link leads nowhere")
    print("title without its blank, a rule on restart, dark scroll bars, a description, "
          "noscript, a help link that loads")


def check_offline(site, work):
    """Loaded once, the page reloads with its server stopped; a new build shows on the next
    load and then replaces the kept copy."""
    copy = os.path.join(work, "site-copy")
    shutil.copytree(site, copy)
    # A build of yesterday: the browser's cache would take its files as fresh for hours.
    for name in os.listdir(copy):
        day_ago = os.path.getmtime(os.path.join(copy, name)) - 86400
        os.utime(os.path.join(copy, name), (day_ago, day_ago))
    server = Server(copy)
    driver = start_browser()
    try:
        url = server.start()
        page = Page(driver, url)
        page.wait_for("return navigator.serviceWorker.controller !== null", timeout=20)
        server.stop()
        driver.refresh()
        Page(driver, None)
        print("offline: the page reloads with its server stopped")

        # A new build: another page and so another service worker version.
        with open(os.path.join(copy, "index.html"), "r+", encoding="utf-8") as f:
            html = f.read().replace("<head>", '<head>\n<meta name="build" content="next">', 1)
            f.seek(0)
            f.write(html)
            f.truncate()
        with open(os.path.join(copy, "sw.js"), "r+", encoding="utf-8") as f:
            worker = f.read().replace("const version = '", "const version = 'next-", 1)
            f.seek(0)
            f.write(worker)
            f.truncate()
        server.start()
        page = Page(driver, url)
        if not page.js("return document.querySelector('meta[name=build]') !== null;"):
            raise Failure("the new build did not show on the next load")
        page.wait_for("return caches.keys().then((k) => k.length === 1 && "
                      "k[0].startsWith('fpu-sample-next-'))", timeout=20)
        server.stop()
        driver.refresh()
        page.wait_for("return Module.fpuPage && Module.fpuPage.stats.firstFrame !== null && "
                      "document.querySelector('meta[name=build]') !== null")
        found = errors(driver)
        # Reloads with the server stopped may log the failed network tries of the worker.
        if [e for e in found if "sw.js" not in e and "ERR_CONNECTION_REFUSED" not in e]:
            raise Failure("offline reloads logged errors: %r" % found)
        print("offline: a new build shows on the next load and replaces the kept copy")
    finally:
        server.stop()
        driver.quit()


def run(tool, work, site):
    server = Server(site)
    url = server.start()
    driver = start_browser()
    try:
        for name, width, height, ratio, phone in SCREENS:
            emulate(driver, width, height, ratio, phone)
            page = Page(driver, url)
            page.settle()
            check_screen(page, name, ratio, work)
            if name != "1920x1080":  # unscaled there, as browser_test.py drives it
                check_mapping(Page(driver, url), tool, name, work)
            logged = errors(driver)
            if logged:
                raise Failure("%s: console errors %r" % (name, logged))
        check_touch(driver, url, work)
        check_keypad(driver, url, tool, work)
        emulate(driver, 800, 600, 1, False)
        check_scroll_keys(driver, url)
        check_small_things(driver, url, tool)
        logged = errors(driver)
        if logged:
            raise Failure("console errors %r" % logged)
    finally:
        driver.quit()
        server.stop()
    check_offline(site, work)


def main():
    tool, work, site = os.path.realpath(sys.argv[1]), sys.argv[2], os.path.realpath(sys.argv[3])
    try:
        run(tool, work, site)
    except Failure as failure:
        print("FAIL: %s" % failure, file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
