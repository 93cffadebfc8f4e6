// The page's layout on any screen, from a 320-pixel phone to a 4K monitor: the picture takes
// the room it has, the trace panel goes beside it when there is room for both, below it
// otherwise (with a link down to it).
mergeInto(LibraryManager.library, {
  $fpuLayout: function (page) {
    const canvas = page.canvas;
    const panel = page.panel;
    const main = canvas.closest('main');
    const side = panel.parentElement;
    const jump = document.getElementById('to-trace');
    const margin = 16;  // the body's
    let watchedRatio = 0;

    // The largest scale (CSS pixels per picture pixel) that fits `width` x `height`.
    const fit = (width, height) => Math.max(0, Math.min(width / canvas.width,
                                                        height / canvas.height));
    const layout = (again) => {
      const ratio = window.devicePixelRatio || 1;
      // The height from the picture's top to the window's bottom, or the whole window when
      // the text above leaves too little: the page then scrolls to a whole picture.
      const top = main.getBoundingClientRect().top + window.scrollY;
      let height = window.innerHeight - top - margin;
      if (height < 0.6 * window.innerHeight) height = window.innerHeight - 2 * margin;
      const room = main.clientWidth;
      main.classList.add('beside');
      const gap = parseFloat(getComputedStyle(main).columnGap) || 0;
      // The panel's own width: its column may be squeezed by what sits under the picture.
      const besideScale = fit(room - Math.max(side.offsetWidth, panel.offsetWidth) - gap, height);
      const belowScale = fit(room, height);
      // Beside when the panel costs the picture nothing, or leaves it at least its own size.
      const beside = besideScale >= Math.min(1, belowScale);
      main.classList.toggle('beside', beside);
      // The link to a panel below takes room above the picture: measure again with it.
      if (jump.hidden !== beside) {
        jump.hidden = beside;
        if (again !== false) return layout(false);
      }
      const scale = beside ? besideScale : belowScale;

      // Growing: a whole number of device pixels per picture pixel, every pixel an exact
      // square, as the desktop scales its window (_fpu_web_scale is that rule). Shrinking
      // below that: smooth, to the room there is.
      const device = scale * ratio;
      const whole = Module._fpu_web_scale(device);
      const sharp = device >= Module._fpu_web_scale(ratio);
      const cssSize = (pixels) =>
        (sharp ? pixels * whole : Math.max(1, Math.floor(pixels * device))) / ratio;
      canvas.style.width = cssSize(canvas.width) + 'px';
      canvas.style.height = cssSize(canvas.height) + 'px';
      canvas.classList.toggle('smooth', !sharp);
      main.classList.add('sized');
      // Beside, the panel ends where the picture does; below, it has a height of its own and
      // a link near the top leads to it.
      const heading = panel.getBoundingClientRect().top - canvas.getBoundingClientRect().top;
      panel.style.height = (beside ? cssSize(canvas.height) - heading :
          Math.round(Math.min(654, Math.max(200, 0.6 * window.innerHeight)))) + 'px';
      page.layout = {beside: beside, sharp: sharp, ratio: ratio};

      // A zoom or a move to another monitor changes the ratio.
      if (ratio !== watchedRatio) {
        watchedRatio = ratio;
        matchMedia('(resolution: ' + ratio + 'dppx)').addEventListener('change', () => layout(),
                                                                         {once: true});
      }
    };
    window.addEventListener('resize', () => layout());
    layout();
  },
});
