// The page's side of the browser display (backend_web.cpp beside it): it draws the frames the
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
  let lockEndedAt = -Infinity;

  const namedKeys = {
    Escape: 0x1b, Enter: 0x0d, NumpadEnter: 0x0d, Space: 0x20, Backspace: 0x08,
    ArrowLeft: 0x25, ArrowUp: 0x26, ArrowRight: 0x27, ArrowDown: 0x28,
    ShiftLeft: 0x10, ShiftRight: 0x10, ControlLeft: 0x11, ControlRight: 0x11,
  };

  // Letters and digits are their own virtual keys, whatever the keyboard's layout. Tab is not
  // taken: it is how a keyboard leaves the canvas.
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

  // Escape while the pointer is locked frees the pointer, as browsers have it, and does not
  // end the program: neither that press (its repeats and its release) nor one that a browser,
  // having freed the pointer itself, hands over just after.
  let escapeSwallowed = false;
  function escapeFreesPointer(event) {
    if (event.code !== "Escape") return false;
    if (event.type === "keyup") {
      const swallowed = escapeSwallowed;
      escapeSwallowed = false;
      return swallowed;
    }
    if (locked() || escapeSwallowed || performance.now() - lockEndedAt < 250) {
      if (locked()) document.exitPointerLock();
      escapeSwallowed = true;
      return true;
    }
    return false;
  }

  function onKey(event, type) {
    const key = virtualKey(event.code);
    if (!key || !running) return;
    // The browser keeps its own shortcuts (reload, close, ...).
    if (!event.ctrlKey && !event.metaKey && !event.altKey) event.preventDefault();
    if (escapeFreesPointer(event)) return;
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
  // The point is read before the canvas takes the focus, and taking it scrolls nothing: the
  // click lands where the person saw it land.
  canvas.addEventListener("mousedown", (event) => {
    if (event.button !== 0 || !running) return;
    event.preventDefault();
    const point = canvasPoint(event);
    canvas.focus({ preventScroll: true });
    if (locked()) {
      push([5, -1, -1]);
      buttonHeld = true;
      return;
    }
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
  document.addEventListener("pointerlockchange", () => {
    if (!locked()) lockEndedAt = performance.now();
    pointerChanged();
  });
  document.addEventListener("visibilitychange", () => {
    if (document.visibilityState === "visible") push([7]);
  });

  function changeState(state, detail) {
    Module.state = state;
    if (Module.onStateChanged) Module.onStateChanged(state, detail);
  }

  // What the pointer is now: "locked" (it turns the view), "captured" (the program wants it,
  // the next click on the picture locks it) or "free". While it waits to be locked it stays
  // visible, so that the menu can be used.
  let cursorHidden = false;
  function pointerChanged() {
    if (!running) return;
    canvas.style.cursor = cursorHidden && !captureWanted ? "none" : "";
    changeState(Module.state || "starting", locked() ? "locked" : captureWanted ? "captured" : "free");
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
      cursorHidden = hidden;
      if (!captured && locked()) document.exitPointerLock();
      pointerChanged();
    },
    ended(exitCode) {
      running = false;
      queue.length = 0;
      if (locked()) document.exitPointerLock();
      canvas.style.cursor = "";
      changeState("ended", exitCode);
    },
    notStarted(reason) {
      running = false;
      changeState("failed", reason);
    },
  };
})();
