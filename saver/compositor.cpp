// Composes the birds into the back buffer with the pixel rule the system's block transfers
// apply, and decides how the window is given the result.
#include "saver/compositor.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

// What handing the window one more block costs, counted in pixels of a block's area.
// FIXME: measure.
constexpr int64_t kCallPixels = 16384;

PixelRect Intersect(PixelRect a, PixelRect b) {
    return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
            std::min(a.bottom, b.bottom)};
}

PixelRect Cover(PixelRect a, PixelRect b) {
    return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
            std::max(a.bottom, b.bottom)};
}

bool IsEmpty(PixelRect r) {
    return r.left >= r.right || r.top >= r.bottom;
}

int64_t Area(PixelRect r) {
    return int64_t{r.right - r.left} * (r.bottom - r.top);
}

}  // namespace

bool Compositor::Freeze(uint32_t* backPixels, int32_t pictureWidth, int32_t pictureHeight,
                        PictureAllocator allocate) {
    Release();
    if (!backPixels || pictureWidth <= 0 || pictureHeight <= 0) {
        return false;
    }
    // A picture larger than the address space can hold is refused like one the system cannot
    // give.
    uint64_t count = uint64_t(pictureWidth) * uint64_t(pictureHeight);
    if (count > SIZE_MAX / sizeof(uint32_t)) {
        return false;
    }
    size_t bytes = size_t(count) * sizeof(uint32_t);
    void* copy = allocate(bytes);
    if (!copy) {
        return false;
    }
    std::memcpy(copy, backPixels, bytes);
    background = static_cast<uint32_t*>(copy);
    backBuffer = backPixels;
    width = pictureWidth;
    height = pictureHeight;
    return true;
}

void Compositor::Release() {
    std::free(background);
    background = nullptr;
    backBuffer = nullptr;
    width = 0;
    height = 0;
    changed.clear();
}

// The part of the patch outside the picture is never on screen, so it is never composed.
void Compositor::DrawPatch(PixelRect patch, const SpritePlacement& sprite) {
    if (!Ready()) {
        return;
    }
    PixelRect shown = Intersect(patch, {0, 0, width, height});
    if (IsEmpty(shown)) {
        return;
    }
    size_t patchBytes = size_t(shown.right - shown.left) * sizeof(uint32_t);
    for (int32_t y = shown.top; y < shown.bottom; y++) {
        size_t at = size_t(y) * size_t(width) + size_t(shown.left);
        std::memcpy(backBuffer + at, background + at, patchBytes);
    }
    PixelRect bird =
        Intersect(shown, {sprite.x, sprite.y, sprite.x + sprite.width, sprite.y + sprite.height});
    for (int32_t y = bird.top; y < bird.bottom; y++) {
        uint32_t* to = backBuffer + size_t(y) * size_t(width) + size_t(bird.left);
        size_t from = size_t(y - sprite.y) * size_t(sprite.width) + size_t(bird.left - sprite.x);
        const uint32_t* frame = sprite.frame + from;
        const uint32_t* mask = sprite.mask + from;
        for (int32_t i = 0; i < bird.right - bird.left; i++) {
            to[i] = (to[i] | mask[i]) & frame[i];
        }
    }
    changed.push_back(shown);
}

// Handing over the patches one by one costs a call each and each patch's pixels (overlaps
// twice); one block costs one call and every pixel of the box around them.
Presentation ChoosePresentation(const std::vector<PixelRect>& changed) {
    Presentation presentation = {false, {0, 0, 0, 0}};
    if (changed.empty()) {
        return presentation;
    }
    PixelRect box = changed[0];
    int64_t patchPixels = 0;
    for (const PixelRect& patch : changed) {
        box = Cover(box, patch);
        patchPixels += Area(patch);
    }
    presentation.block = box;
    int64_t extraCalls = int64_t(changed.size()) - 1;
    presentation.oneBlock = extraCalls * kCallPixels >= Area(box) - patchPixels;
    return presentation;
}
