// The page's side of the web backend: canvas, input listeners, timers, animation frames and
// the trace panel. The C++ side (web_platform.cpp, main.cpp) calls the fpu_js_* functions.
mergeInto(LibraryManager.library, {
  // Wires the page to the demo object at `demo` (a pointer into the module's memory). The
  // layout (library_layout.js), touch and the key pad (library_touch.js) have files of their
  // own.
  fpu_js_attach__deps: ['$fpuLayout', '$fpuTouch', '$fpuKeypad'],
  fpu_js_attach: function (demo) {
    const canvas = document.getElementById('screen');
    const panel = document.getElementById('trace');
    const status = document.getElementById('status');
    const restart = document.getElementById('restart');
    const context = canvas.getContext('2d', {alpha: false});
    const page = {
      demo: demo,
      canvas: canvas,
      context: context,
      panel: panel,
      status: status,
      // Measurements the benchmark and the browser test read.
      stats: {firstFrame: null, frames: 0, paintMs: [], ended: 0},
      trace: {capacity: 5000, lineHeight: 15, lines: 0, dropped: 0, blocks: [], follow: true,
              followedTop: 0,
              scrollPending: false},
    };
    Module.fpuPage = page;
    // One block of `lines` lines at the panel's end; `mark` names a block that is no trace
    // line (its class).
    page.appendTrace = (text, lines, mark) => {
      const block = document.createElement('div');
      block.textContent = text;
      block.style.containIntrinsicSize = 'auto ' + lines * page.trace.lineHeight + 'px';
      if (mark) block.className = mark;
      panel.appendChild(block);
      page.trace.blocks.push({node: block, lines: lines, mark: mark});
      page.trace.lines += lines;
    };
    // Follow the end unless the user scrolled up; measured once per animation frame, when
    // the page lays out anyway, not once per batch.
    page.followTrace = () => {
      const trace = page.trace;
      if (!trace.follow || trace.scrollPending) return;
      trace.scrollPending = true;
      requestAnimationFrame(() => {
        trace.scrollPending = false;
        if (!trace.follow) return;
        panel.scrollTop = panel.scrollHeight;
        trace.followedTop = panel.scrollTop;
      });
    };

    const modifierBits = (e) =>
      (e.shiftKey ? 1 : 0) | (e.ctrlKey ? 2 : 0) | (e.altKey ? 4 : 0) | (e.metaKey ? 8 : 0);
    // Returns whether the demo took the key (the page then prevents its default action).
    page.key = (code, key, modifiers, down, repeat) =>
      Module.ccall('fpu_web_key', 'number',
                   ['number', 'string', 'string', 'number', 'number', 'number'],
                   [demo, code, key, modifiers, down, repeat]);
    const onKey = (e, down) => {
      if (page.key(e.code, e.key, modifierBits(e), down, e.repeat ? 1 : 0)) e.preventDefault();
    };
    canvas.addEventListener('keydown', (e) => onKey(e, 1));
    canvas.addEventListener('keyup', (e) => onKey(e, 0));

    // 0 move, 1 down, 2 up; positions in CSS pixels from the canvas' top-left corner, mapped
    // to picture pixels by the size the canvas is shown at.
    page.mouse = (action, button, buttons, modifiers, clientX, clientY) => {
      const box = canvas.getBoundingClientRect();
      Module._fpu_web_mouse(demo, action, button, buttons, modifiers, clientX - box.left,
                            clientY - box.top, box.width, box.height);
    };
    const onMouse = (e, action) =>
      page.mouse(action, e.button, e.buttons, modifierBits(e), e.clientX, e.clientY);
    canvas.addEventListener('mousedown', (e) => {
      canvas.focus({preventScroll: true});
      e.preventDefault();  // no text selection or drag starts from the canvas
      onMouse(e, 1);
    });
    canvas.addEventListener('mouseup', (e) => onMouse(e, 2));
    canvas.addEventListener('mousemove', (e) => onMouse(e, 0));
    canvas.addEventListener('contextmenu', (e) => e.preventDefault());

    // The panel never keeps focus: clicks and scrolling in it leave the keys to the canvas.
    panel.addEventListener('focus', () => canvas.focus({preventScroll: true}));
    panel.addEventListener('mouseup', () => canvas.focus({preventScroll: true}));
    // Nor does the key table: opening or closing it leaves the keys with the canvas.
    const keys = document.getElementById('keys');
    if (keys) {
      keys.addEventListener('mousedown', (e) => e.preventDefault());
      keys.addEventListener('toggle', () => canvas.focus({preventScroll: true}));
    }
    // Following stops when the user scrolls above where the panel last put the end, and
    // starts again when they scroll back to the end.
    panel.addEventListener('scroll', () => {
      const trace = page.trace;
      const atEnd = panel.scrollTop + panel.clientHeight >= panel.scrollHeight - 2;
      trace.follow = atEnd || panel.scrollTop >= trace.followedTop - 1;
    });

    restart.addEventListener('click', () => {
      status.hidden = true;
      canvas.focus({preventScroll: true});
      // The new run's lines start under a rule, not straight after the old run's.
      if (page.trace.lines > 0) {
        page.appendTrace('[the demo started again]\n', 1, 'restart');
        page.followTrace();
      }
      Module._fpu_web_restart(demo);
    });

    fpuLayout(page);
    fpuTouch(page);
    fpuKeypad(page);
    canvas.focus({preventScroll: true});
  },

  // The ImageData is a view of the module's memory, made once: each paint is one
  // putImageData and no copy of ours. Made again only if the memory grows (a new buffer).
  fpu_js_present: function (pixels, width, height) {
    const page = Module.fpuPage;
    const view = page.view;
    if (!view || view.buffer !== HEAPU8.buffer || view.pixels !== pixels ||
        view.image.width !== width || view.image.height !== height) {
      const bytes = new Uint8ClampedArray(HEAPU8.buffer, pixels, width * height * 4);
      page.view = {buffer: HEAPU8.buffer, pixels: pixels, image: new ImageData(bytes, width, height)};
    }
    page.context.putImageData(page.view.image, 0, 0);
    if (page.stats.firstFrame === null) {
      page.stats.firstFrame = performance.now();
      if (Module.onFirstFrame) Module.onFirstFrame();
    }
    page.stats.frames++;
  },

  fpu_js_set_interval: function (demo, id, milliseconds) {
    return setInterval(() => Module._fpu_web_timer(demo, id), milliseconds);
  },

  fpu_js_clear_interval: function (handle) { clearInterval(handle); },

  // The paint is timed here: the benchmark reads the durations.
  fpu_js_request_frame: function (demo) {
    requestAnimationFrame(() => {
      const stats = Module.fpuPage.stats;
      const start = performance.now();
      Module._fpu_web_frame(demo);
      if (stats.paintMs.length < 10000) stats.paintMs.push(performance.now() - start);
    });
  },

  // Appends one batch of `lines` trace lines. The panel keeps the newest `capacity` lines
  // and says how many it shed in its first line. Lines go into blocks of at most 64 lines
  // that the browser lays out only while they are on screen (content-visibility), so a
  // 1,400-line batch costs the layout of the few blocks in view, not of the whole panel.
  fpu_js_trace: function (text, length, lines) {
    const page = Module.fpuPage;
    const trace = page.trace;
    const panel = page.panel;
    const all = UTF8ToString(text, length);
    const blockLines = 64;
    for (let start = 0, left = lines; left > 0;) {
      const count = Math.min(blockLines, left);
      let end = start;
      for (let i = 0; i < count; i++) end = all.indexOf('\n', end) + 1;
      page.appendTrace(all.slice(start, end), count);
      start = end;
      left -= count;
    }
    while (trace.lines > trace.capacity) {
      const oldest = trace.blocks[0];
      const excess = trace.lines - trace.capacity;
      if (oldest.lines <= excess) {
        oldest.node.remove();
        trace.blocks.shift();
        trace.lines -= oldest.lines;
        if (!oldest.mark) trace.dropped += oldest.lines;  // a restart's rule is no trace line
      } else {
        const kept = oldest.node.textContent;
        let cut = 0;
        for (let i = 0; i < excess; i++) cut = kept.indexOf('\n', cut) + 1;
        oldest.node.textContent = kept.slice(cut);
        oldest.lines -= excess;
        oldest.node.style.containIntrinsicSize = 'auto ' + oldest.lines * trace.lineHeight + 'px';
        trace.lines -= excess;
        trace.dropped += excess;
      }
    }
    if (trace.dropped > 0) {
      if (!trace.marker) {
        trace.marker = document.createElement('div');
        panel.insertBefore(trace.marker, panel.firstChild);
      }
      const notice = Module._fpu_web_dropped_notice(page.demo, trace.dropped);
      trace.marker.textContent = UTF8ToString(notice) + '\n';
    }
    page.followTrace();
  },

  // The window title starts with a blank, which a tab has no use for.
  fpu_js_set_title: function (title) { document.title = UTF8ToString(title).trim(); },

  fpu_js_ended: function (demo) {
    const page = Module.fpuPage;
    page.stats.ended++;
    page.status.hidden = false;
  },
});
