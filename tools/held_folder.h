// A folder held by what it is rather than by its name, so that a tool can move between two
// folders however long their paths and whatever is renamed around them.
#pragma once

struct HeldFolder {
    void* handle = nullptr;  // the system's, or nullptr when none is held
};

// Holds `path`; false, with errno (or the system's last error) telling why, when it cannot.
bool holdFolder(const char* path, HeldFolder* folder);

// Makes the held folder the working folder; false, with errno set, when that fails.
bool enterHeldFolder(const HeldFolder& folder);

void releaseHeldFolder(HeldFolder* folder);
