"""Headless Chromium on a page of the local server, for the browser test and the benchmark."""
import base64
import os

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.support.ui import WebDriverWait


def start_browser():
    options = webdriver.ChromeOptions()
    options.binary_location = os.environ.get("CHROMIUM", "/usr/bin/chromium")
    # A new empty profile each time (chromedriver's), and none of the browser's own traffic.
    for argument in ("--headless=new", "--window-size=1400,900", "--force-device-scale-factor=1",
                     "--disable-dev-shm-usage", "--disable-extensions", "--no-first-run",
                     "--disable-gpu", "--disable-quic", "--disable-background-networking",
                     "--disable-component-update", "--disable-sync"):
        options.add_argument(argument)
    # The page's console, for the test that it logs no errors.
    options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
    if os.geteuid() == 0:
        options.add_argument("--no-sandbox")  # Chromium refuses to run as root with it
    service = Service(os.environ.get("CHROMEDRIVER", "/usr/bin/chromedriver"))
    return webdriver.Chrome(service=service, options=options)


class Page:
    """The demo page: waits on its own counters, sends input, reads the canvas and panel."""

    def __init__(self, driver, url):
        """Opens `url`, or with None takes the page the browser shows (after a reload)."""
        self.driver = driver
        if url:
            driver.get(url)
        self.wait_for("return Module.fpuPage && Module.fpuPage.stats.firstFrame !== null")
        self.canvas = driver.find_element("id", "screen")

    def js(self, script, *args):
        return self.driver.execute_script(script, *args)

    def wait_for(self, condition, timeout=10):
        WebDriverWait(self.driver, timeout, poll_frequency=0.02).until(
            lambda d: d.execute_script(condition))

    def frames(self):
        return self.js("return Module.fpuPage.stats.frames")

    def settle(self):
        """Waits until no paint is pending: two animation frames in a row with none."""
        self.driver.execute_async_script(
            "const done = arguments[0];"
            "requestAnimationFrame(() => requestAnimationFrame(() => done()));")

    def key(self, key, modifier=None):
        chain = ActionChains(self.driver)
        if modifier:
            chain.key_down(modifier)
        chain.send_keys(key)
        if modifier:
            chain.key_up(modifier)
        chain.perform()
        self.settle()

    def origin(self):
        box = self.js("const r = arguments[0].getBoundingClientRect(); return [r.left, r.top];",
                      self.canvas)
        return box

    def drag(self, button, points):
        """Presses at the first client point, moves through the others, releases at the last,
        waiting for the paint after each step. Sent through the DevTools protocol: chromedriver
        reports a held right button as buttons = 4 (middle). Buttons 1 left, 2 middle, 3 right."""
        left, top = self.origin()
        name, mask = {1: ("left", 1), 2: ("middle", 4), 3: ("right", 2)}[button]

        def send(kind, x, y, buttons):
            held = buttons != 0 or kind == "mouseReleased"
            self.driver.execute_cdp_cmd("Input.dispatchMouseEvent", {
                "type": kind, "x": left + x, "y": top + y, "button": name if held else "none",
                "buttons": buttons, "clickCount": 1})
            self.settle()

        x, y = points[0]
        send("mouseMoved", x, y, 0)
        send("mousePressed", x, y, mask)
        for x, y in points[1:]:
            send("mouseMoved", x, y, mask)
        send("mouseReleased", x, y, 0)

    def touch(self, steps):
        """Fingers on the canvas: each step lists every finger's point (client, from the
        canvas' corner); the first step puts them down, the others move them, then all lift."""
        left, top = self.origin()

        def send(kind, points):
            self.driver.execute_cdp_cmd("Input.dispatchTouchEvent", {
                "type": kind, "touchPoints": [
                    {"x": left + x, "y": top + y, "id": i} for i, (x, y) in enumerate(points)]})
            self.settle()

        send("touchStart", steps[0])
        for points in steps[1:]:
            send("touchMove", points)
        send("touchEnd", [])

    def canvas_png(self, path):
        data = self.js("return arguments[0].toDataURL('image/png');", self.canvas)
        with open(path, "wb") as f:
            f.write(base64.b64decode(data.split(",", 1)[1]))

    def trace_text(self):
        return self.js("return document.getElementById('trace').textContent;")
