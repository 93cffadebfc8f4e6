// Keeping and sharing what was made in the page: the frame on the canvas as a PNG, the
// session as a replay script that fpu-sample-replay plays back to the same frames, and as a
// link that holds the session (compressed, in the address' fragment, so it never reaches a
// server) and replays it on load; a script opened from a file or dropped on the picture
// replays too. Its own block of the page (#keep); the demo's wiring is in library_fpu.js.
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

    const linkStart = '#session=';
    const longestLink = 2000000;      // characters of an address a browser keeps
    const chatLink = 8000;            // what chat programs and mail may still carry whole
    const longestScript = 16 << 20;   // bytes of a script the page replays
    api.replays = 0;                  // scripts replayed (tests wait on it)
    api.message = '';                 // the last thing said
    const tell = (text) => {
      api.message = text;
      say(text);
    };
    const base64url = (bytes) => {
      let binary = '';
      for (let i = 0; i < bytes.length; i += 0x8000) {
        binary += String.fromCharCode.apply(null, bytes.subarray(i, i + 0x8000));
      }
      return btoa(binary).replace(/\+/g, '-').replace(/\//g, '_').replace(/=+$/, '');
    };
    // The bytes, or null for anything but base64url.
    const fromBase64url = (text) => {
      if (!/^[A-Za-z0-9_-]*$/.test(text) || text.length % 4 === 1) return null;
      const padded = text.replace(/-/g, '+').replace(/_/g, '/') + '=='.slice(0, (4 - text.length % 4) % 4);
      const binary = atob(padded);
      const bytes = new Uint8Array(binary.length);
      for (let i = 0; i < binary.length; i++) bytes[i] = binary.charCodeAt(i);
      return bytes;
    };
    const deflate = async (text) => new Uint8Array(await new Response(
        new Blob([text]).stream().pipeThrough(new CompressionStream('deflate'))).arrayBuffer());
    // The text, or null when it does not inflate, is not UTF-8 or grows past the limit.
    const inflate = async (bytes) => {
      const reader =
          new Blob([bytes]).stream().pipeThrough(new DecompressionStream('deflate')).getReader();
      const parts = [];
      let size = 0;
      try {
        for (;;) {
          const {done, value} = await reader.read();
          if (done) break;
          size += value.length;
          if (size > longestScript) {
            reader.cancel();
            return null;
          }
          parts.push(value);
        }
        return new TextDecoder('utf-8', {fatal: true}).decode(await new Blob(parts).arrayBuffer());
      } catch (e) {
        return null;
      }
    };
    // Replays a script in a new run; null when it ran, else why the page refused it whole.
    api.replayText = (text) => {
      const bytes = new TextEncoder().encode(text);
      const at = Module._fpu_web_alloc(bytes.length + 1);
      HEAPU8.set(bytes, at);
      // A new run begins (a script that ends with Escape ends it again, and says so).
      document.getElementById('status').hidden = true;
      const refused = Module._fpu_web_replay(demo, at, bytes.length);
      Module._fpu_web_free(at);
      api.replays++;
      canvas.focus({preventScroll: true});
      return refused ? UTF8ToString(refused) : null;
    };
    const replayFrom = (what, text) => {
      const refused = api.replayText(text);
      tell(refused ? 'The ' + what + ' is not a session this page can replay (' + refused +
                     '); the demo goes on as it was started.'
                   : 'Replayed the ' + what + '; the keys are yours.');
    };
    // The session a link holds, replayed; anything else in it is refused with a message.
    api.openLink = async (hash) => {
      if (!hash.startsWith(linkStart)) return;
      const data = hash.slice(linkStart.length);
      if (data.length > longestLink) {
        tell('This link is longer than any session link (' + data.length + ' characters); ' +
             'nothing of it was replayed.');
        return;
      }
      const bytes = fromBase64url(data);
      const text = bytes && await inflate(bytes);
      if (text === null) {
        tell('This link does not hold a session (it is damaged or cut short); nothing of it ' +
             'was replayed.');
        return;
      }
      replayFrom('session in this link', text);
    };
    document.getElementById('copy-link').addEventListener('click', async () => {
      canvas.focus({preventScroll: true});
      const text = api.sessionText();
      if (text === null) {
        tell('The session is longer than this page keeps (8 MiB); it cannot be shared.');
        return;
      }
      const link = location.href.split('#')[0] + linkStart + base64url(await deflate(text));
      const box = document.getElementById('keep-link');
      if (link.length > longestLink) {
        box.hidden = true;
        tell('A link would be ' + link.length + ' characters, more than a browser keeps: ' +
             'save the session file instead.');
        return;
      }
      box.value = link;
      box.hidden = false;
      let copied = false;
      try {
        await navigator.clipboard.writeText(link);
        copied = true;
      } catch (e) {
        // No clipboard here (an insecure page, or permission refused): the box has it.
      }
      tell((copied ? 'Link copied' : 'Copy the link from the box') + ' (' + link.length +
           ' characters).' + (link.length > chatLink ?
               ' Chat programs may cut a link this long: the session file is safer.' : ''));
    });
    const openFile = async (file) => {
      if (!file) return;
      if (file.size > longestScript) {
        tell('The file is larger than any session this page replays (16 MiB).');
        return;
      }
      replayFrom('file ' + file.name, await file.text());
    };
    const picker = document.getElementById('open-session');
    picker.addEventListener('change', () => {
      openFile(picker.files[0]);
      picker.value = '';
    });
    canvas.addEventListener('dragover', (e) => e.preventDefault());
    canvas.addEventListener('drop', (e) => {
      e.preventDefault();
      openFile(e.dataTransfer.files[0]);
    });
    api.openLink(location.hash);
    // The buttons leave the keys with the demo.
    for (const button of keep.querySelectorAll('button')) {
      button.addEventListener('mousedown', (e) => e.preventDefault());
    }
    document.getElementById('save-frame').addEventListener('click', () => {
      canvas.toBlob((png) => {
        api.download('fpu-sample-frame.png', png);
        say('Frame saved.');
      }, 'image/png');
      canvas.focus({preventScroll: true});
    });
    // The last 10 s (200 frames) replayed headless through the replay tool's GIF encoder.
    api.gifs = 0;  // GIFs made or refused (tests wait on it)
    document.getElementById('save-gif').addEventListener('click', () => {
      canvas.focus({preventScroll: true});
      say('Making the GIF of the last 10 seconds...');
      // After the message is shown: a long session takes a moment to replay.
      setTimeout(() => {
        const at = Module._fpu_web_gif(demo);
        if (at) {
          const bytes = HEAPU8.slice(at, at + Module._fpu_web_gif_size());
          api.download('fpu-sample-last-seconds.gif', new Blob([bytes], {type: 'image/gif'}));
          say('GIF saved (' + bytes.length + ' bytes).');
        } else {
          say('No GIF: ' + UTF8ToString(Module._fpu_web_gif_error()) + '.');
        }
        api.gifs++;
      }, 0);
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
