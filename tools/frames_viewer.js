// The frames report's viewer. Each differing frame gets a canvas showing the reference, this
// build, or a blend of both; the pointer's pixel is read out in both pictures; the keys act on
// the frame last pointed at: F flicks, + and - zoom, N and P go to the next and previous region
// of differences, largest first.
(function () {
  "use strict";
  var viewers = [];
  var active = null;

  function hex(data, i) {
    var text = "#";
    for (var c = 0; c < 3; c++) {
      text += (data[i + c] < 16 ? "0" : "") + data[i + c].toString(16);
    }
    return text;
  }

  function pixelsOf(image) {
    var canvas = document.createElement("canvas");
    canvas.width = image.naturalWidth;
    canvas.height = image.naturalHeight;
    var context = canvas.getContext("2d");
    context.drawImage(image, 0, 0);
    return context.getImageData(0, 0, canvas.width, canvas.height).data;
  }

  function differs(viewer, p) {
    var a = viewer.referencePixels, b = viewer.framePixels, i = p * 4;
    return a[i] !== b[i] || a[i + 1] !== b[i + 1] || a[i + 2] !== b[i + 2];
  }

  // Four-connected regions of differing pixels, the largest first.
  function findRegions(viewer) {
    var width = viewer.width, count = width * viewer.height;
    var seen = new Uint8Array(count), regions = [];
    for (var start = 0; start < count; start++) {
      if (seen[start] || !differs(viewer, start)) continue;
      var stack = [start], region = {size: 0, left: width, top: viewer.height, right: 0, bottom: 0};
      seen[start] = 1;
      while (stack.length) {
        var p = stack.pop(), x = p % width, y = (p - x) / width;
        region.size++;
        region.left = Math.min(region.left, x);
        region.right = Math.max(region.right, x);
        region.top = Math.min(region.top, y);
        region.bottom = Math.max(region.bottom, y);
        var next = [x > 0 ? p - 1 : -1, x + 1 < width ? p + 1 : -1, p - width, p + width];
        for (var k = 0; k < 4; k++) {
          var q = next[k];
          if (q >= 0 && q < count && !seen[q] && differs(viewer, q)) {
            seen[q] = 1;
            stack.push(q);
          }
        }
      }
      regions.push(region);
    }
    regions.sort(function (a, b) { return b.size - a.size || a.top - b.top || a.left - b.left; });
    return regions;
  }

  // The picture's pixel at the canvas's point.
  function pictureAt(viewer, canvasX, canvasY) {
    return {x: Math.floor(viewer.originX + canvasX / viewer.zoom),
            y: Math.floor(viewer.originY + canvasY / viewer.zoom)};
  }

  function draw(viewer) {
    var context = viewer.canvas.getContext("2d"), zoom = viewer.zoom;
    var shownWidth = viewer.width / zoom, shownHeight = viewer.height / zoom;
    viewer.originX = Math.max(0, Math.min(viewer.width - shownWidth, Math.round(viewer.centreX - shownWidth / 2)));
    viewer.originY = Math.max(0, Math.min(viewer.height - shownHeight, Math.round(viewer.centreY - shownHeight / 2)));
    context.imageSmoothingEnabled = false;
    context.globalAlpha = 1;
    context.clearRect(0, 0, viewer.width, viewer.height);
    var blend = viewer.slider.value / 100;
    var pictures = [[viewer.reference, 1 - blend], [viewer.frame, blend]];
    for (var k = 0; k < 2; k++) {
      context.globalAlpha = k === 0 ? 1 : pictures[1][1];
      context.drawImage(pictures[k][0], viewer.originX, viewer.originY, shownWidth, shownHeight,
                        0, 0, viewer.width, viewer.height);
    }
    context.globalAlpha = 1;
    if (zoom >= 4) {
      context.strokeStyle = "rgba(128, 128, 128, 0.6)";
      context.lineWidth = 1;
      context.beginPath();
      for (var x = 0; x <= viewer.width; x += zoom) {
        context.moveTo(x + 0.5, 0);
        context.lineTo(x + 0.5, viewer.height);
      }
      for (var y = 0; y <= viewer.height; y += zoom) {
        context.moveTo(0, y + 0.5);
        context.lineTo(viewer.width, y + 0.5);
      }
      context.stroke();
    }
    viewer.state.textContent = "zoom " + zoom + "x, showing " +
      (blend === 0 ? "the reference" : blend === 1 ? "this build" : Math.round(blend * 100) + "% this build") +
      (viewer.region >= 0 ? ", region " + (viewer.region + 1) + " of " + viewer.regions.length +
        " (" + viewer.regions[viewer.region].size + " pixels)" : ", " + viewer.regions.length + " regions");
  }

  function readOut(viewer, point) {
    if (point.x < 0 || point.y < 0 || point.x >= viewer.width || point.y >= viewer.height) return;
    var i = (point.y * viewer.width + point.x) * 4, a = viewer.referencePixels, b = viewer.framePixels;
    var difference = [0, 1, 2].map(function (c) { return b[i + c] - a[i + c]; });
    viewer.readout.textContent = "(" + point.x + ", " + point.y + "): reference " + hex(a, i) +
      ", this build " + hex(b, i) + ", difference " + difference.join(" ");
  }

  function setZoom(viewer, zoom) {
    viewer.zoom = Math.max(1, Math.min(32, zoom));
    viewer.zoomChoice.value = String(viewer.zoom);
    draw(viewer);
  }

  function flick(viewer) {
    viewer.slider.value = viewer.slider.value < 50 ? 100 : 0;
    draw(viewer);
  }

  // The next region, or the previous one for step -1, centred, at a zoom that holds it.
  function goToRegion(viewer, step) {
    var count = viewer.regions.length;
    if (count === 0) return;
    viewer.region = viewer.region < 0 ? (step > 0 ? 0 : count - 1) : (viewer.region + step + count) % count;
    var r = viewer.regions[viewer.region];
    viewer.centreX = (r.left + r.right + 1) / 2;
    viewer.centreY = (r.top + r.bottom + 1) / 2;
    var fits = Math.floor(Math.min(viewer.width / (r.right - r.left + 9), viewer.height / (r.bottom - r.top + 9)));
    setZoom(viewer, Math.max(1, Math.min(16, fits)));
    readOut(viewer, {x: r.left, y: r.top});
  }

  function element(tag, properties) {
    var made = document.createElement(tag);
    for (var key in properties) made[key] = properties[key];
    return made;
  }

  function controls(viewer) {
    var bar = element("div", {className: "viewer-controls"});
    var button = element("button", {type: "button", textContent: "Flick (F)"});
    button.addEventListener("click", function () { flick(viewer); });
    viewer.slider = element("input", {type: "range", min: "0", max: "100", value: "0",
                                      title: "from the reference to this build"});
    viewer.slider.addEventListener("input", function () { draw(viewer); });
    viewer.zoomChoice = element("select", {title: "zoom"});
    [1, 2, 4, 8, 16, 32].forEach(function (z) {
      viewer.zoomChoice.appendChild(element("option", {value: String(z), textContent: z + "x"}));
    });
    viewer.zoomChoice.addEventListener("change", function () { setZoom(viewer, +viewer.zoomChoice.value); });
    var previous = element("button", {type: "button", textContent: "Previous difference (P)"});
    previous.addEventListener("click", function () { goToRegion(viewer, -1); });
    var next = element("button", {type: "button", textContent: "Next difference (N)"});
    next.addEventListener("click", function () { goToRegion(viewer, 1); });
    [button, element("span", {textContent: " reference "}), viewer.slider,
     element("span", {textContent: " this build "}), viewer.zoomChoice, previous, next].forEach(function (e) {
      bar.appendChild(e);
    });
    return bar;
  }

  function start(viewer, section) {
    viewer.width = viewer.reference.naturalWidth;
    viewer.height = viewer.reference.naturalHeight;
    viewer.referencePixels = pixelsOf(viewer.reference);
    viewer.framePixels = pixelsOf(viewer.frame);
    viewer.regions = findRegions(viewer);
    viewer.region = -1;
    viewer.zoom = 1;
    viewer.centreX = viewer.width / 2;
    viewer.centreY = viewer.height / 2;
    var box = element("div", {className: "viewer"});
    viewer.canvas = element("canvas", {width: viewer.width, height: viewer.height});
    viewer.canvas.style.imageRendering = "pixelated";
    viewer.readout = element("p", {className: "viewer-readout", textContent: "Point at a pixel to read it."});
    viewer.state = element("p", {className: "viewer-state"});
    box.appendChild(controls(viewer));
    box.appendChild(viewer.canvas);
    box.appendChild(viewer.readout);
    box.appendChild(viewer.state);
    var heading = section.querySelector("h2");
    section.insertBefore(box, heading ? heading.nextSibling : section.firstChild);
    viewer.canvas.addEventListener("mousemove", function (event) {
      active = viewer;
      var bounds = viewer.canvas.getBoundingClientRect();
      var scale = viewer.canvas.width / bounds.width;
      readOut(viewer, pictureAt(viewer, (event.clientX - bounds.left) * scale, (event.clientY - bounds.top) * scale));
    });
    section.addEventListener("mouseenter", function () { active = viewer; });
    draw(viewer);
  }

  function load(address, done) {
    var image = new Image();
    image.onload = function () { done(image); };
    image.src = address;
  }

  document.addEventListener("keydown", function (event) {
    var viewer = active || viewers[0];
    if (!viewer || !viewer.canvas || event.ctrlKey || event.metaKey || event.altKey) return;
    var key = event.key.toLowerCase();
    if (key === "f") flick(viewer);
    else if (key === "n") goToRegion(viewer, 1);
    else if (key === "p") goToRegion(viewer, -1);
    else if (key === "+" || key === "=") setZoom(viewer, viewer.zoom * 2);
    else if (key === "-") setZoom(viewer, Math.floor(viewer.zoom / 2));
    else return;
    event.preventDefault();
  });

  (window.quillonFrames || []).forEach(function (entry) {
    var section = document.getElementById(entry.name);
    if (!section) return;
    var viewer = {};
    viewers.push(viewer);
    load(entry.reference, function (reference) {
      viewer.reference = reference;
      load(entry.frame, function (frame) {
        viewer.frame = frame;
        start(viewer, section);
      });
    });
  });
})();
