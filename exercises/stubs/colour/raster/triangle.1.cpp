// A helper for the colours at a row's ends may live here.
