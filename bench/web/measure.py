#!/usr/bin/env python3
"""Measures the web page in headless Chromium with the page's own performance.now():
navigation to the first frame, on a first visit (a fresh profile, nothing cached) and warm
(loaded again in the same browser), and the paint of a string-art frame with axes, untraced
and traced (1,400 trace lines appended to the panel, and the panel's layout after it).
The page must be served cross-origin isolated (serve_folder ... isolated): otherwise
performance.now() steps in 0.1 ms, as long as a whole frame.

  measure.py URL [LOADS] [FRAMES] [VISITS]
"""
import json
import os
import statistics
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "../../tests/web"))
from browser import Page, start_browser  # noqa: E402

# Sends each key as the page's own listener receives it, then paints at once instead of
# waiting for the animation frame (which then finds nothing to paint), timing the paint and
# the panel's layout after it. Back to back, as a benchmark loop runs.
FRAMES_SCRIPT = """
const [codes, done] = [arguments[0], arguments[1]];
const page = Module.fpuPage;
const canvas = document.getElementById('screen');
const panel = document.getElementById('trace');
const paint = [];
const layout = [];
for (const [code, key] of codes) {
  canvas.dispatchEvent(new KeyboardEvent('keydown', {code: code, key: key, bubbles: true}));
  let start = performance.now();
  Module._fpu_web_frame(page.demo);
  paint.push(performance.now() - start);
  start = performance.now();
  void panel.scrollHeight;  // the layout the next rendering would do
  layout.push(performance.now() - start);
}
requestAnimationFrame(() => done({paint: paint, layout: layout}));
"""


def keys(text):
    codes = {" ": ("Space", " "), ",": ("Comma", ",")}
    return [codes.get(c, ("Key" + c.upper(), c)) for c in text]


def main():
    url = sys.argv[1]
    loads = int(sys.argv[2]) if len(sys.argv) > 2 else 7
    frames = int(sys.argv[3]) if len(sys.argv) > 3 else 200
    visits = int(sys.argv[4]) if len(sys.argv) > 4 else 5
    # First visits: each browser starts with a profile of its own, empty.
    first_visits = []
    for _ in range(visits - 1):
        driver = start_browser()
        try:
            first_visits.append(Page(driver, url).js("return Module.fpuPage.stats.firstFrame"))
        finally:
            driver.quit()
    driver = start_browser()
    driver.set_script_timeout(300)
    try:
        first_frames = []
        for _ in range(loads + 1):
            page = Page(driver, url)
            first_frames.append(page.js("return Module.fpuPage.stats.firstFrame"))
        first_visits.append(first_frames.pop(0))
        if not page.js("return self.crossOriginIsolated"):
            sys.exit("measure.py: the page is not cross-origin isolated, so its clock steps "
                     "in 0.1 ms; serve it with the isolation headers")
        # rot1 5, rot2 23, axes, string art: the native benchmark's frame.
        page.driver.execute_async_script(FRAMES_SCRIPT, keys("v" * 5 + "b" * 23 + "ps"))
        page.driver.execute_async_script(FRAMES_SCRIPT, keys(" " * frames))  # warm-up: tier-up
        untraced = page.driver.execute_async_script(FRAMES_SCRIPT, keys(" " * frames))
        page.driver.execute_async_script(FRAMES_SCRIPT, keys("y"))
        traced = page.driver.execute_async_script(FRAMES_SCRIPT, keys(" " * (frames // 2)))
        result = {
            "first_frame_ms": statistics.median(first_frames),
            "first_frame_ms_all": [round(t, 1) for t in first_frames],
            "first_visit_ms": statistics.median(first_visits),
            "first_visit_ms_all": [round(t, 1) for t in first_visits],
            "string_art_axes_paint_ms": statistics.median(untraced["paint"]),
            "traced_paint_ms": statistics.median(traced["paint"]),
            "traced_panel_layout_ms": statistics.median(traced["layout"]),
            "untraced_layout_ms": statistics.median(untraced["layout"]),
            "frames": len(untraced["paint"]),
        }
        print(json.dumps(result))
    finally:
        driver.quit()


if __name__ == "__main__":
    main()
