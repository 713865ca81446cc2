// The page's side of the browser display (platform/backend_web.cpp): it draws the frames the
// program hands over, and queues what the user does until the program's next frame reads it.
// Event numbers are the backend's PageEvent.
Module.display = (function () {
  const canvas = Module.canvas;
  const context = canvas.getContext("2d");
  const queue = [];
  let captureWanted = false;
  let menuBarHeight = 0;
  let menuOpen = false;
  let buttonHeld = false;
  let running = true;
  let framesShown = 0;

  const namedKeys = {
    Escape: 0x1b, Enter: 0x0d, NumpadEnter: 0x0d, Space: 0x20, Tab: 0x09, Backspace: 0x08,
    ArrowLeft: 0x25, ArrowUp: 0x26, ArrowRight: 0x27, ArrowDown: 0x28,
    ShiftLeft: 0x10, ShiftRight: 0x10, ControlLeft: 0x11, ControlRight: 0x11,
  };

  // Letters and digits are their own virtual keys, whatever the keyboard's layout.
  function virtualKey(code) {
    if (/^Key[A-Z]$/.test(code)) return code.charCodeAt(3);
    if (/^Digit[0-9]$/.test(code)) return code.charCodeAt(5);
    return namedKeys[code] || 0;
  }

  function push(event) {
    if (running) queue.push(event);
  }

  function locked() {
    return document.pointerLockElement === canvas;
  }

  function canvasPoint(event) {
    const box = canvas.getBoundingClientRect();
    const x = Math.floor(((event.clientX - box.left) * canvas.width) / box.width);
    const y = Math.floor(((event.clientY - box.top) * canvas.height) / box.height);
    return [Math.max(0, Math.min(x, canvas.width - 1)), Math.max(0, Math.min(y, canvas.height - 1))];
  }

  function onKey(event, type) {
    const key = virtualKey(event.code);
    if (!key || !running) return;
    // The browser keeps its own shortcuts (reload, close, ...).
    if (!event.ctrlKey && !event.metaKey && !event.altKey) event.preventDefault();
    push([type, key, event.repeat ? 1 : 0]);
  }

  function capturePointer() {
    try {
      const request = canvas.requestPointerLock();
      if (request && request.catch) request.catch(() => {});
    } catch (refused) {
      // Without the lock the cursor stays captured by name only; the next click tries again.
    }
  }

  window.addEventListener("keydown", (event) => onKey(event, 1));
  window.addEventListener("keyup", (event) => onKey(event, 2));
  // While the program wants the cursor captured, a free pointer passing over the canvas would
  // swing the view about: only the locked pointer's movement counts then, and the free
  // pointer's only over an open menu. A click captures, unless the menu takes it.
  canvas.addEventListener("mousemove", (event) => {
    if (!locked() && (!captureWanted || menuOpen)) push([3, ...canvasPoint(event)]);
  });
  document.addEventListener("mousemove", (event) => {
    if (locked()) push([4, event.movementX, event.movementY]);
  });
  canvas.addEventListener("mousedown", (event) => {
    if (event.button !== 0 || !running) return;
    event.preventDefault();
    canvas.focus();
    if (locked()) {
      push([5, -1, -1]);
      buttonHeld = true;
      return;
    }
    const point = canvasPoint(event);
    if (captureWanted && !menuOpen && point[1] >= menuBarHeight) {
      capturePointer();  // this click is the page's: it captures, and reaches no program
      return;
    }
    push([5, ...point]);
    buttonHeld = true;
  });
  document.addEventListener("mouseup", (event) => {
    if (event.button !== 0 || !buttonHeld) return;
    buttonHeld = false;
    push(locked() ? [6, -1, -1] : [6, ...canvasPoint(event)]);
  });
  document.addEventListener("visibilitychange", () => {
    if (document.visibilityState === "visible") push([7]);
  });

  function changeState(state, detail) {
    Module.state = state;
    if (Module.onStateChanged) Module.onStateChanged(state, detail);
  }

  // The program's frame as an image without copying it, made again only when the frame has
  // moved or its memory has grown (which replaces the buffer).
  let image = null;
  function frameImage(pixels, width, height) {
    if (!image || image.data.buffer !== pixels.buffer || image.data.byteOffset !== pixels.byteOffset ||
        image.width !== width || image.height !== height) {
      const view = new Uint8ClampedArray(pixels.buffer, pixels.byteOffset, width * height * 4);
      image = new ImageData(view, width, height);
    }
    return image;
  }

  return {
    nextEvent() {
      return queue.shift();
    },
    setTitle(title) {
      document.title = title;
    },
    showFrame(pixels, width, height, barHeight, popupOpen) {
      menuBarHeight = barHeight;
      menuOpen = popupOpen;
      if (canvas.width !== width || canvas.height !== height) {
        canvas.width = width;
        canvas.height = height;
      }
      context.putImageData(frameImage(pixels, width, height), 0, 0);
      framesShown += 1;
      Module.framesShown = framesShown;
      if (framesShown === 1) changeState("running");
    },
    setCapture(captured, hidden) {
      captureWanted = captured;
      canvas.style.cursor = hidden ? "none" : "default";
      if (!captured && locked()) document.exitPointerLock();
      changeState(Module.state || "starting", captured ? "captured" : "free");
    },
    ended(exitCode) {
      running = false;
      queue.length = 0;
      if (locked()) document.exitPointerLock();
      canvas.style.cursor = "default";
      changeState("ended", exitCode);
    },
  };
})();
