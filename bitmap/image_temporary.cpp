#include "bitmap/image_ops_internal.h"

#include <cstring>
#include <new>

namespace {

int temporariesAlive = 0;

}  // namespace

bool holdsSurface(const NBitmap& bitmap) {
    return bitmap.isValid() && bitmap.bits != nullptr && bitmap.width() > 0 && bitmap.height() > 0;
}

bool matchSource(NBitmap* target, NBitmap& source) {
    return matchSource(target, source, source.width(), source.height());
}

bool matchSource(NBitmap* target, NBitmap& source, int width, int height) {
    if (!target->create(width, height, source.pixelSize())) {
        return false;
    }
    if (source.pixelSize() == 1) {
        source.getColorTable(0, 256, target->colors);
        target->setColorTable(0, 256, target->colors);
    }
    return true;
}

TemporaryImage::~TemporaryImage() {
    if (held == nullptr) {
        return;
    }
    held->destroy();
    delete held;
    --temporariesAlive;
}

bool TemporaryImage::create(int width, int height, int bytesPerPixel) {
    if (held == nullptr) {
        // Value-initialised: the record starts all-zero, which is the empty state.
        held = new (std::nothrow) NBitmap();
        if (held == nullptr) {
            return false;
        }
        ++temporariesAlive;
    }
    return held->create(width, height, bytesPerPixel);
}

bool OperationTarget::create(int width, int height) {
    if (target != &source) {
        return matchSource(target, source, width, height);
    }
    return aside.create(width, height, source.pixelSize());
}

bool OperationTarget::finish() {
    const NBitmap* result = aside.image();
    if (result == nullptr) {
        return true;
    }
    if (result->width() != target->width() || result->height() != target->height()) {
        // The palette is read before create lets go of the surface that holds it.
        if (target->pixelSize() == 1) {
            target->getColorTable(0, 256, target->colors);
        }
        if (!target->create(result->width(), result->height(), result->pixelSize())) {
            return false;
        }
    }
    for (int y = 0; y < result->height(); ++y) {
        std::memcpy(target->rowPointer(y), result->rowPointer(y), (size_t)result->rowBytes);
    }
    return true;
}

int liveTemporaryImages() {
    return temporariesAlive;
}
