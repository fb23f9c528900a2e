// Composes the birds into the back buffer with the pixel rule the system's block transfers
// apply, and decides how the window is given the result.
#include "saver/compositor.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

// What handing the window one more block costs, in pixels of a block's area. Measured under
// Wine (64-bit build, 1024 x 768, Delay 10, CPU per step; every patch alone / the patches'
// bounding box, two runs each): 5 birds 0.56-0.69 / 0.82-0.90 ms, 15 birds 1.15-1.42 /
// 1.25-1.54, 30 birds 1.85-1.93 / 1.75-1.97, 60 birds 2.33-2.35 / 2.08-2.42, 100 birds
// 3.9-4.2 / 2.8-3.3, 1000 birds 43-61 / 35-42. Even at 15 to 30 birds, one call costs about
// 10 000 to 40 000 pixels; a bird's patch is 16 384.
constexpr int64_t kCallPixels = 20000;

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

void CopyPixels(uint32_t* to, const uint32_t* from, int32_t left, int32_t right) {
    if (left < right) {
        std::memcpy(to + left, from + left, size_t(right - left) * sizeof(uint32_t));
    }
}

// What SRCPAINT with the mask and then SRCAND with the frame leave of the desktop's pixels.
// The rows never overlap, and saying so lets the compiler take several pixels at once.
void ComposeRow(uint32_t* __restrict to, const uint32_t* __restrict from,
                const uint32_t* __restrict mask, const uint32_t* __restrict frame, int32_t count) {
    for (int32_t i = 0; i < count; i++) {
        to[i] = (from[i] | mask[i]) & frame[i];
    }
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

// The part of the patch outside the picture is never on screen, so it is never composed. Each
// pixel is read from the frozen desktop and written once: around the bird as it is, under the
// bird through the mask and the frame.
void Compositor::DrawPatch(PixelRect patch, const SpritePlacement& sprite) {
    if (!Ready()) {
        return;
    }
    PixelRect shown = Intersect(patch, {0, 0, width, height});
    if (IsEmpty(shown)) {
        return;
    }
    PixelRect bird =
        Intersect(shown, {sprite.x, sprite.y, sprite.x + sprite.width, sprite.y + sprite.height});
    if (IsEmpty(bird)) {
        bird = {shown.left, shown.top, shown.left, shown.top};
    }
    for (int32_t y = shown.top; y < shown.bottom; y++) {
        size_t row = size_t(y) * size_t(width);
        uint32_t* to = backBuffer + row;
        const uint32_t* from = background + row;
        if (y < bird.top || y >= bird.bottom) {
            CopyPixels(to, from, shown.left, shown.right);
            continue;
        }
        CopyPixels(to, from, shown.left, bird.left);
        size_t art = size_t(y - sprite.y) * size_t(sprite.width) + size_t(bird.left - sprite.x);
        ComposeRow(to + bird.left, from + bird.left, sprite.mask + art, sprite.frame + art,
                   bird.right - bird.left);
        CopyPixels(to, from, bird.right, shown.right);
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
