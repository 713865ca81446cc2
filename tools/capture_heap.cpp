#include "tools/capture_heap.h"

// Under the address sanitizer malloc's own counts see nothing: its runtime keeps the heap.
#if defined(__SANITIZE_ADDRESS__)
#define QUILLON_HEAP_FROM_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUILLON_HEAP_FROM_ASAN 1
#endif
#endif
#ifdef QUILLON_HEAP_FROM_ASAN
// Part of the sanitizer runtime's interface (not every compiler ships its header).
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#else
#include <malloc.h>
#endif

std::size_t heapInUse() {
#ifdef QUILLON_HEAP_FROM_ASAN
    return __sanitizer_get_current_allocated_bytes();
#else
    return mallinfo2().uordblks;
#endif
}
