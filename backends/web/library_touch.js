// Touch screens: fingers on the picture become the mouse drags the demo knows, and a key pad
// sends the keys with commands as a keyboard would.
mergeInto(LibraryManager.library, {
  // One finger drags as the left button (turn about X and Y). Two fingers move the picture as
  // the right button when they move together, or turn it about Z as the middle button when
  // they twist: the pointer then moves right (clockwise) or left by the arc the fingers
  // travelled. Which one is settled once per gesture, when the fingers first move.
  $fpuTouch: function (page) {
    const canvas = page.canvas;
    const left = 0, middle = 1, right = 2;  // MouseEvent.button
    const heldBits = [1, 4, 2];             // MouseEvent.buttons for each
    const settle = 8;                       // CSS pixels of motion before two fingers choose
    // Fingers seldom land together: one finger presses the left button only once it has
    // moved, so that a second finger landing first leaves no left click behind.
    const still = 4;
    let waiting = null;  // one finger's first point, until it moves
    let drag = null;   // {button, x, y}: the button held and where the pointer is
    let pair = null;   // where two fingers started: {x, y, angle, radius}
    let lifted = false;  // after two fingers, nothing until every finger is up

    const press = (button, x, y) => {
      page.mouse(0, 0, 0, 0, x, y);  // the pointer comes to the spot, then the button goes down
      page.mouse(1, button, heldBits[button], 0, x, y);
      drag = {button: button, x: x, y: y};
    };
    const moveTo = (x, y) => {
      if (x === drag.x && y === drag.y) return;
      drag.x = x;
      drag.y = y;
      page.mouse(0, 0, heldBits[drag.button], 0, x, y);
    };
    const release = () => {
      if (drag) page.mouse(2, drag.button, 0, 0, drag.x, drag.y);
      drag = null;
    };
    const twoFingers = (touches) => {
      const [a, b] = [touches[0], touches[1]];
      return {
        x: (a.clientX + b.clientX) / 2,
        y: (a.clientY + b.clientY) / 2,
        angle: Math.atan2(b.clientY - a.clientY, b.clientX - a.clientX),
        radius: Math.hypot(b.clientX - a.clientX, b.clientY - a.clientY) / 2,
      };
    };
    // The twist since the start, in (-pi, pi].
    const turned = (now) => {
      let angle = now.angle - pair.angle;
      if (angle > Math.PI) angle -= 2 * Math.PI;
      if (angle <= -Math.PI) angle += 2 * Math.PI;
      return angle;
    };

    const onTouch = (e) => {
      e.preventDefault();  // no scrolling, zooming or emulated mouse events from the picture
      const touches = e.touches;
      if (e.type === 'touchstart') canvas.focus({preventScroll: true});
      if (touches.length === 0) {
        if (waiting && !lifted) press(left, waiting.x, waiting.y);  // a tap is a click
        release();
        waiting = pair = null;
        lifted = false;
        return;
      }
      if (lifted) return;
      if (touches.length === 1 && !pair) {
        const t = touches[0];
        if (!drag && !waiting) {
          waiting = {x: t.clientX, y: t.clientY};
        } else if (!drag) {
          if (Math.hypot(t.clientX - waiting.x, t.clientY - waiting.y) < still) return;
          press(left, waiting.x, waiting.y);
          waiting = null;
          moveTo(t.clientX, t.clientY);
        } else {
          moveTo(t.clientX, t.clientY);
        }
        return;
      }
      if (touches.length >= 2 && (!drag || drag.button === left) && !pair) {
        release();  // a one-finger drag ends where a second finger comes
        waiting = null;
        pair = twoFingers(touches);
        return;
      }
      if (touches.length < 2) {  // one of two fingers lifted: the gesture is over
        release();
        pair = null;
        lifted = true;
        return;
      }
      const now = twoFingers(touches);
      const arc = turned(now) * pair.radius;
      if (!drag) {
        const shift = Math.hypot(now.x - pair.x, now.y - pair.y);
        if (Math.max(shift, Math.abs(arc)) < settle) return;
        press(Math.abs(arc) > shift ? middle : right, pair.x, pair.y);
      }
      if (drag.button === middle) moveTo(pair.x + arc, pair.y);
      else moveTo(now.x, now.y);
    };
    for (const type of ['touchstart', 'touchmove', 'touchend', 'touchcancel']) {
      canvas.addEventListener(type, onTouch, {passive: false});
    }
  },

  // The key pad's buttons send their key's press and release, as the keyboard's listener
  // does. Open from the start on a screen whose pointer is a finger.
  $fpuKeypad: function (page) {
    const pad = document.getElementById('keypad');
    if (!pad) return;
    if (matchMedia('(pointer: coarse)').matches) pad.open = true;
    // Neither the pad nor its buttons take the keys from the picture.
    pad.addEventListener('mousedown', (e) => e.preventDefault());
    pad.addEventListener('toggle', () => page.canvas.focus({preventScroll: true}));
    for (const button of pad.querySelectorAll('button[data-code]')) {
      button.addEventListener('click', () => {
        page.key(button.dataset.code, button.dataset.key, 0, 1, 0);
        page.key(button.dataset.code, button.dataset.key, 0, 0, 0);
        page.canvas.focus({preventScroll: true});
      });
    }
  },
});
