#include "bitmap/image_ops_internal.h"

#include <new>

namespace {

int temporariesAlive = 0;

}  // namespace

bool holdsSurface(const NBitmap& bitmap) {
    return bitmap.isValid() && bitmap.bits != nullptr && bitmap.width() > 0 && bitmap.height() > 0;
}

bool matchSource(NBitmap* target, NBitmap& source) {
    if (!target->create(source.width(), source.height(), source.pixelSize())) {
        return false;
    }
    if (source.pixelSize() == 1) {
        source.getColorTable(0, 256, target->colors);
        target->setColorTable(0, 256, target->colors);
    }
    return true;
}

NBitmap* newTemporaryImage() {
    // Value-initialised: the record starts all-zero, which is the empty state.
    NBitmap* temporary = new (std::nothrow) NBitmap();
    if (temporary != nullptr) {
        ++temporariesAlive;
    }
    return temporary;
}

void releaseTemporaryImage(NBitmap* temporary) {
    if (temporary == nullptr) {
        return;
    }
    temporary->destroy();
    delete temporary;
    --temporariesAlive;
}

int liveTemporaryImages() {
    return temporariesAlive;
}
