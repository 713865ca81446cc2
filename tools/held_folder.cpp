#include "tools/held_folder.h"

#include <cstdint>

#include <fcntl.h>
#include <unistd.h>

namespace {

int descriptorOf(const HeldFolder& folder) {
    return (int)(std::intptr_t)folder.handle - 1;
}

}  // namespace

bool holdFolder(const char* path, HeldFolder* folder) {
    int fd = open(path, O_PATH | O_DIRECTORY | O_CLOEXEC);
    folder->handle = fd >= 0 ? (void*)(std::intptr_t)(fd + 1) : nullptr;
    return fd >= 0;
}

bool enterHeldFolder(const HeldFolder& folder) {
    return fchdir(descriptorOf(folder)) == 0;
}

void releaseHeldFolder(HeldFolder* folder) {
    if (folder->handle != nullptr) {
        close(descriptorOf(*folder));
        folder->handle = nullptr;
    }
}
