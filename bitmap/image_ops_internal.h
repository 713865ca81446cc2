// What the image operations share: the test for a usable surface, matching a target to its
// source, the heap temporaries, and the small byte arithmetic.
#pragma once

#include "bitmap/nbitmap.h"

bool holdsSurface(const NBitmap& bitmap);

// Creates the target in the source's shape and, for 1-byte pixels, gives it the source's
// palette (through the target's own `colors`). False when the target cannot be created.
bool matchSource(NBitmap* target, NBitmap& source);
// The same in another size.
bool matchSource(NBitmap* target, NBitmap& source, int width, int height);

// A heap image that starts empty and is released when it goes out of scope.
class TemporaryImage {
  public:
    TemporaryImage() = default;
    ~TemporaryImage();
    TemporaryImage(const TemporaryImage&) = delete;
    TemporaryImage& operator=(const TemporaryImage&) = delete;

    // False when there is no memory for the record or the surface.
    bool create(int width, int height, int bytesPerPixel);
    NBitmap* image() const { return held; }

  private:
    NBitmap* held = nullptr;
};

// What an operation that may work in place writes into. A separate target is written directly;
// a target that is its own source cannot be, since the source is still being read, so the
// result goes into a temporary and is moved into the target by finish.
class OperationTarget {
  public:
    OperationTarget(NBitmap* target, NBitmap& source) : target(target), source(source) {}

    // Makes the image to write, in the source's pixel size (a separate target also gets the
    // source's palette); false when it cannot be made, with a target that is its own source
    // left as it was.
    bool create(int width, int height);
    NBitmap* image() const { return aside.image() ? aside.image() : target; }
    // Copies a result written aside into the target, re-created first (keeping its palette)
    // when the size changed; false when that fails.
    bool finish();

  private:
    NBitmap* target;
    NBitmap& source;
    TemporaryImage aside;
};

inline unsigned char clampByte(int value) {
    return (unsigned char)(value < 0 ? 0 : value > 255 ? 255 : value);
}

// Runs Op<n>::run(args...) for the pixel size n, so that each operation's inner loop is
// compiled for a fixed number of bytes. Sizes below Smallest are never instantiated: the
// caller has already refused them.
template <template <int> class Op, int Smallest = 1, class... Args>
void forPixelSize(int n, Args&&... args) {
    switch (n) {
        case 1:
            if constexpr (Smallest <= 1) {
                Op<1>::run(args...);
            }
            break;
        case 2:
            if constexpr (Smallest <= 2) {
                Op<2>::run(args...);
            }
            break;
        case 3:
            Op<3>::run(args...);
            break;
        default:
            Op<4>::run(args...);
            break;
    }
}
