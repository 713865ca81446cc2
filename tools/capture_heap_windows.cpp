#include "tools/capture_heap.h"

#include <malloc.h>

// The C runtime's heap, block by block: the bytes in blocks in use.
std::size_t heapInUse() {
    _HEAPINFO entry = {};
    std::size_t used = 0;
    while (_heapwalk(&entry) == _HEAPOK) {
        if (entry._useflag == _USEDENTRY) {
            used += entry._size;
        }
    }
    return used;
}
