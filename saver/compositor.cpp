// Composes the birds into the back buffer with the pixel rule the system's block transfers
// apply, and decides how the window is given the result.
#include "saver/compositor.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

// What handing the window one more block costs, in pixels of a block's area. Measured under
// Wine (64-bit build, 1024 x 768, Delay 10, CPU per step; every patch alone / the patches'
// bounding box, two runs each, while every patch was still composed whole; handing over costs
// the same either way): 5 birds 0.56-0.69 / 0.82-0.90 ms, 15 birds 1.15-1.42 /
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

// Adds a span to a row's sorted, separate spans, joining those it meets.
void AddSpan(std::vector<PixelSpan>& row, PixelSpan span) {
    size_t first = 0;
    while (first < row.size() && row[first].right < span.left) {
        first++;
    }
    size_t last = first;
    for (; last < row.size() && row[last].left <= span.right; last++) {
        span.left = std::min(span.left, row[last].left);
        span.right = std::max(span.right, row[last].right);
    }
    row.erase(row.begin() + ptrdiff_t(first), row.begin() + ptrdiff_t(last));
    row.insert(row.begin() + ptrdiff_t(first), span);
}

int64_t Area(PixelRect r) {
    return int64_t{r.right - r.left} * (r.bottom - r.top);
}

}  // namespace

void* AllocatePicture(size_t bytes) {
    return ::operator new(bytes, std::nothrow);
}

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
    covered.resize(size_t(height));
    return true;
}

void Compositor::Release() {
    ::operator delete(background);
    background = nullptr;
    backBuffer = nullptr;
    width = 0;
    height = 0;
    changed.clear();
    draws.clear();
    covered.clear();
}

void Compositor::BeginStep() {
    changed.clear();
    draws.clear();
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
    changed.push_back(shown);
    draws.push_back({shown, sprite});
}

// A pixel shows what the last patch of the step over it leaves there, so the patches are
// composed from the last to the first, each only where no later one lies. A thousand birds
// cover the screen many times over; this way each pixel is composed about once.
void Compositor::FinishStep() {
    for (size_t k = draws.size(); k-- > 0;) {
        const Draw& draw = draws[k];
        for (int32_t y = draw.shown.top; y < draw.shown.bottom; y++) {
            std::vector<PixelSpan>& row = covered[size_t(y)];
            int32_t x = draw.shown.left;
            size_t at = 0;
            for (; at < row.size() && row[at].left <= draw.shown.right; at++) {
                if (row[at].left > x) {
                    ComposeSpan(draw, y, x, std::min(row[at].left, draw.shown.right));
                }
                x = std::max(x, row[at].right);
            }
            if (x < draw.shown.right) {
                ComposeSpan(draw, y, x, draw.shown.right);
            }
            AddSpan(row, {draw.shown.left, draw.shown.right});
        }
    }
    for (const Draw& draw : draws) {
        for (int32_t y = draw.shown.top; y < draw.shown.bottom; y++) {
            covered[size_t(y)].clear();
        }
    }
    draws.clear();
}

// One row of a patch from left to right: the frozen desktop around the bird as it is, under
// the bird through the mask and the frame.
void Compositor::ComposeSpan(const Draw& draw, int32_t y, int32_t left, int32_t right) {
    size_t row = size_t(y) * size_t(width);
    uint32_t* to = backBuffer + row;
    const uint32_t* from = background + row;
    const SpritePlacement& sprite = draw.sprite;
    if (y < sprite.y || y >= sprite.y + sprite.height) {
        CopyPixels(to, from, left, right);
        return;
    }
    int32_t birdLeft = std::max(left, std::min(right, sprite.x));
    int32_t birdRight = std::max(birdLeft, std::min(right, sprite.x + sprite.width));
    CopyPixels(to, from, left, birdLeft);
    if (birdLeft < birdRight) {
        size_t art = size_t(y - sprite.y) * size_t(sprite.width) + size_t(birdLeft - sprite.x);
        ComposeRow(to + birdLeft, from + birdLeft, sprite.mask + art, sprite.frame + art,
                   birdRight - birdLeft);
    }
    CopyPixels(to, from, birdRight, right);
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
