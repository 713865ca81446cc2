    // A face is drawn only when its normal points towards the eye, seen from its third
    // corner. Until then every face is.
    static_cast<void>(normal);
