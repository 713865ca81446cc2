    // The probe's colour, interpolated between the row's two ends, in every mode that reads the
    // colour (all but ShadeTexture). Until then the whole row takes its left end's colour.
    probe.colour = span.leftEnd.colour;
