// Keeping what was made in the page: the frame on the canvas as a PNG, and the session as
// a replay script that fpu-sample-replay plays back to the same frames. Its own block of
// the page (#keep); the demo's wiring is in library_fpu.js.
mergeInto(LibraryManager.library, {
  fpu_js_keep_attach: function (demo) {
    const keep = document.getElementById('keep');
    if (!keep) return;
    const canvas = document.getElementById('screen');
    const say = (text) => { document.getElementById('keep-status').textContent = text; };
    const api = {
      // Hands a file to the browser's downloads (tests replace it to look at the file).
      download: (name, blob) => {
        const link = document.createElement('a');
        link.href = URL.createObjectURL(blob);
        link.download = name;
        link.click();
        setTimeout(() => URL.revokeObjectURL(link.href), 60000);
      },
      // The session so far, or null when it is longer than the page keeps.
      sessionText: () => {
        const text = Module._fpu_web_session(demo);
        return text ? UTF8ToString(text) : null;
      },
    };
    Module.fpuKeep = api;
    // The buttons leave the keys with the demo.
    keep.addEventListener('mousedown', (e) => e.preventDefault());
    document.getElementById('save-frame').addEventListener('click', () => {
      canvas.toBlob((png) => {
        api.download('fpu-sample-frame.png', png);
        say('Frame saved.');
      }, 'image/png');
      canvas.focus({preventScroll: true});
    });
    document.getElementById('save-session').addEventListener('click', () => {
      const text = api.sessionText();
      if (text === null) {
        say('The session is longer than this page keeps (8 MiB); it cannot be saved.');
      } else {
        api.download('fpu-sample-session.txt', new Blob([text], {type: 'text/plain'}));
        say('Session saved: replay it with fpu-sample-replay fpu-sample-session.txt');
      }
      canvas.focus({preventScroll: true});
    });
  },
});
