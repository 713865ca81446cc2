        // Only a pixel nearer than what the buffer holds (and farther than the near plane)
        // is drawn, and its depth is stored before it is shaded. Until then every pixel is
        // drawn and nothing is stored.
        shadePixel<notes>(span, x, dc, shader, at);
