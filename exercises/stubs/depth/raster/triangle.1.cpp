        // Only a pixel nearer than what the buffer holds (and farther than the near plane)
        // is drawn, and its depth is stored before it is shaded. Until then the buffer is
        // neither read nor written: a pixel is drawn wherever its depth lies between the near
        // plane and the cleared buffer's 500.
        if (at[ValueZ] > shader.nearZ && at[ValueZ] < 500.0f) {
            shadePixel<notes>(span, x, dc, shader, at);
        } else if constexpr (notes == WritesNoted) {
            noteRefusedPixel(span, x, shader, at);
        }
