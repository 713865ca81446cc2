    // A face is drawn only when its normal points towards the eye. Until then every face is.
