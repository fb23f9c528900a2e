// The flock drawn in memory against a plain model of the per-bird sequence of block transfers
// it replaces: after every step the window must hold exactly what that sequence leaves there.
#include "saver/compositor.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "saver/artwork.h"
#include "saver/flock.h"

namespace {

struct Picture {
    int32_t width;
    int32_t height;
    std::vector<uint32_t> pixels;

    uint32_t* At(int32_t x, int32_t y) { return &pixels[size_t(y) * width + x]; }
    bool Holds(int32_t x, int32_t y) const { return 0 <= x && x < width && 0 <= y && y < height; }
};

Picture RandomPicture(int32_t width, int32_t height, std::mt19937& gen) {
    Picture picture = {width, height, std::vector<uint32_t>(size_t(width) * height)};
    for (uint32_t& pixel : picture.pixels) {
        pixel = gen();
    }
    return picture;
}

Artwork RandomArtwork(int32_t width, int32_t height, std::mt19937& gen) {
    Artwork artwork;
    artwork.width = width;
    artwork.height = height;
    for (int32_t i = 0; i < kFrameCount; i++) {
        artwork.frames[i] = RandomPicture(width, height, gen).pixels;
        for (uint32_t pixel : RandomPicture(width, height, gen).pixels) {
            artwork.masks[i].push_back(pixel % 3 ? 0x00FFFFFFu : 0);
        }
    }
    return artwork;
}

// The sequence the window used to see per bird: a work surface the size of the patch takes the
// background at the bird's place (what lies beyond the background is undefined: junk here),
// the mask is ORed and the frame ANDed in at (a, b), and the whole surface is copied to the
// window at the bird's place, clipped.
void ModelBird(const Bird& bird, const Artwork& artwork, Picture& background, Picture& window) {
    int32_t a = std::abs(bird.stepX), b = std::abs(bird.stepY);
    Picture work = {bird.width + 2 * a, bird.height + 2 * b, {}};
    work.pixels.assign(size_t(work.width) * work.height, 0xA5C3E1F7u);
    for (int32_t y = 0; y < work.height; y++) {
        for (int32_t x = 0; x < work.width; x++) {
            if (background.Holds(bird.x + x, bird.y + y)) {
                *work.At(x, y) = *background.At(bird.x + x, bird.y + y);
            }
        }
    }
    for (int32_t y = 0; y < bird.height; y++) {
        for (int32_t x = 0; x < bird.width; x++) {
            size_t at = size_t(y) * bird.width + x;
            *work.At(a + x, b + y) |= artwork.masks[bird.currentMask][at];
            *work.At(a + x, b + y) &= artwork.frames[bird.currentImage][at];
        }
    }
    for (int32_t y = 0; y < work.height; y++) {
        for (int32_t x = 0; x < work.width; x++) {
            if (window.Holds(bird.x + x, bird.y + y)) {
                *window.At(bird.x + x, bird.y + y) = *work.At(x, y);
            }
        }
    }
}

// What the window shows of the back buffer once a step is handed over.
void Present(const Compositor& compositor, Picture& window, int& blocks, int& oneByOne) {
    Presentation presentation = ChoosePresentation(compositor.changed);
    std::vector<PixelRect> given = compositor.changed;
    if (presentation.oneBlock) {
        given = {presentation.block};
    }
    (presentation.oneBlock ? blocks : oneByOne)++;
    for (const PixelRect& r : given) {
        for (int32_t y = r.top; y < r.bottom; y++) {
            for (int32_t x = r.left; x < r.right; x++) {
                *window.At(x, y) = compositor.backBuffer[size_t(y) * window.width + x];
            }
        }
    }
}

struct FlockCase {
    const char* name;
    int32_t right, bottom;     // the client area
    int32_t spriteW, spriteH;  // 0: no artwork loaded
    int32_t birds;
    int32_t reachX, reachY;  // how far beyond the client's edges a bird may start
};

TEST(Compositor, WindowHoldsWhatThePerBirdSequenceLeaves) {
    const FlockCase cases[] = {
        {"crowded, overlapping", 64, 48, 12, 10, 14, 6, 6},
        {"at and beyond every edge", 40, 30, 9, 7, 10, 24, 24},
        {"client smaller than a bird", 9, 7, 12, 10, 3, 8, 8},
        {"client one bird high", 50, 10, 8, 10, 4, 4, 0},
        {"shipped size, few and apart", 640, 480, 120, 120, 3, 0, 0},
        {"shipped size, many", 400, 300, 120, 120, 40, 10, 10},
        {"no artwork", 30, 30, 0, 0, 5, 0, 0},
    };
    int blocks = 0, oneByOne = 0;
    std::mt19937 gen(16);
    for (const FlockCase& c : cases) {
        SCOPED_TRACE(c.name);
        Picture desktop = RandomPicture(c.right, c.bottom, gen);
        Artwork artwork = RandomArtwork(c.spriteW, c.spriteH, gen);
        std::vector<Bird> birds(size_t(c.birds)), modelBirds;
        for (Bird& bird : birds) {
            bird.x = std::uniform_int_distribution<int32_t>(-c.reachX, c.right + c.reachX)(gen);
            bird.y = std::uniform_int_distribution<int32_t>(-c.reachY, c.bottom + c.reachY)(gen);
            bird.width = c.spriteW;
            bird.height = c.spriteH;
            bird.frame = bird.currentImage = bird.currentMask = int32_t(gen() % kFrameCount);
            bird.frameStep = 1;
            bird.stepX = gen() % 2 ? 4 : -4;
            bird.stepY = gen() % 2 ? 4 : -4;
        }
        modelBirds = birds;
        Picture back = desktop, window = desktop, modelWindow = desktop;
        Compositor compositor;
        ASSERT_TRUE(compositor.Freeze(back.pixels.data(), c.right, c.bottom, AllocatePicture));
        back.pixels.assign(back.pixels.size(), 0);  // the frozen copy alone must serve
        window.pixels = back.pixels;
        modelWindow.pixels = back.pixels;
        for (int step = 0; step < 12; step++) {
            StepFlock(birds, artwork, compositor, c.right, c.bottom);
            Present(compositor, window, blocks, oneByOne);
            for (size_t i = 0; i < modelBirds.size(); i++) {
                if (modelBirds[i].HasArtwork()) {
                    ModelBird(modelBirds[i], artwork, desktop, modelWindow);
                    modelBirds[i].MoveWithin(c.right, c.bottom);
                }
                TurnAwayFromOverlaps(modelBirds, i);
            }
            ASSERT_EQ(window.pixels, modelWindow.pixels) << "step " << step;
            for (size_t i = 0; i < birds.size(); i++) {
                ASSERT_EQ(birds[i].x, modelBirds[i].x) << "bird " << i;
                ASSERT_EQ(birds[i].y, modelBirds[i].y) << "bird " << i;
            }
        }
    }
    EXPECT_GT(blocks, 0) << "no step was handed over as one block";
    EXPECT_GT(oneByOne, 0) << "no step was handed over patch by patch";
}

void* Refuse(size_t) {
    return nullptr;
}

// A system that cannot give the frozen copy leaves the back buffer as captured: the desktop,
// no bird, nothing to hand over.
TEST(Compositor, RefusedPictureDrawsNothing) {
    std::mt19937 gen(20);
    Picture back = RandomPicture(64, 48, gen);
    const std::vector<uint32_t> captured = back.pixels;
    Artwork artwork = RandomArtwork(12, 10, gen);
    std::vector<Bird> birds(3);
    for (Bird& bird : birds) {
        bird.width = 12;
        bird.height = 10;
        bird.stepX = bird.stepY = 4;
        bird.x = bird.y = 20;
    }
    Compositor compositor;
    EXPECT_FALSE(compositor.Freeze(back.pixels.data(), 64, 48, Refuse));
    EXPECT_FALSE(compositor.Ready());
    StepFlock(birds, artwork, compositor, 64, 48);
    EXPECT_EQ(back.pixels, captured);
    EXPECT_TRUE(compositor.changed.empty());
    EXPECT_FALSE(ChoosePresentation(compositor.changed).oneBlock);
}

}  // namespace
