// A function the compiler is not to inline, in the words of each compiler that builds us.
#pragma once

#if defined(_MSC_VER)
#define QUILLON_NO_INLINE __declspec(noinline)
#else
#define QUILLON_NO_INLINE [[gnu::noinline]]
#endif
