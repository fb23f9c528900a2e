// The flock's rules: how many birds a run gets, the order in which a start consumes random
// numbers, the order in which collision turns are made, and where the picture is taken from.
#include "saver/flock.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

#include "host/random.h"

namespace {

std::vector<Bird> PlaceFlockOf(int32_t count, int32_t right, int32_t bottom) {
    Artwork shipped;
    shipped.width = shipped.height = 120;
    std::vector<Bird> birds;
    PlaceFlock(birds, count, shipped, right, bottom, NextRandom);
    return birds;
}

Bird BirdAt(int32_t x, int32_t y) {
    Bird bird;
    bird.x = x;
    bird.y = y;
    bird.width = bird.height = 120;
    bird.stepX = bird.stepY = 4;
    bird.frameStep = 1;
    return bird;
}

TEST(Flock, EachBirdDrawsRowColumnFrameAndSigns) {
    // Seed 1 gives 41, 18467, 6334, 26500, 19169 | 15724, 11478, 29358, 26962, 24464.
    SeedRandom(1);
    std::vector<Bird> birds = PlaceFlockOf(2, 1000, 700);
    ASSERT_EQ(birds.size(), 2u);
    struct Expected {
        int32_t x, y, frame, stepX, stepY;
    } expected[] = {
        {18467 % 1000, 41 % 700, 6334 % 4, 4, -4},
        {11478 % 1000, 15724 % 700, 29358 % 4, 4, 4},
    };
    for (size_t i = 0; i < 2; i++) {
        EXPECT_EQ(birds[i].x, expected[i].x) << i;
        EXPECT_EQ(birds[i].y, expected[i].y) << i;
        EXPECT_EQ(birds[i].frame, expected[i].frame) << i;
        EXPECT_EQ(birds[i].stepX, expected[i].stepX) << i;
        EXPECT_EQ(birds[i].stepY, expected[i].stepY) << i;
    }
}

TEST(Flock, Size) {
    constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
    constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
    struct Case {
        int32_t birdCount, right, bottom, size;
    } cases[] = {
        {3, 1024, 768, 3},        {10, 152, 112, 10},      {1, 1, 1, 1},
        {0, 1024, 768, 0},        {-2, 1024, 768, 0},      {kMin, 1024, 768, 0},
        {999, 1024, 768, 999},    {1000, 1024, 768, 1000}, {1001, 1024, 768, 1000},
        {10000, 1024, 768, 1000}, {kMax, 1024, 768, 1000}, {3, 0, 768, 0},
        {3, 1024, 0, 0},          {kMax, 0, 0, 0},         {3, -5, 768, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FlockSize(c.birdCount, c.right, c.bottom), c.size)
            << c.birdCount << " birds in " << c.right << "x" << c.bottom;
    }
}

// Whatever the seed, every bird of a full-screen flock starts with its whole patch of the
// sprite inside the screen.
TEST(Flock, StartsInsideTheScreen) {
    for (uint32_t seed = 0; seed < 2000; seed++) {
        SeedRandom(seed * 7919u);
        for (const Bird& bird : PlaceFlockOf(10, 1024, 768)) {
            ASSERT_TRUE(0 <= bird.x && bird.x <= 904) << "seed " << seed << " x " << bird.x;
            ASSERT_TRUE(0 <= bird.y && bird.y <= 648) << "seed " << seed << " y " << bird.y;
        }
    }
}

TEST(Flock, TheLastTouchedNeighbourDecides) {
    // The middle bird touches one neighbour on each side; only the array order differs.
    struct Case {
        int32_t firstX, secondX;
        int32_t stepX;
    } cases[] = {
        {0, 200, 4},     // left first, right last: turns away from the right one, moves left
        {200, 0, -4},    // right first, left last: moves right
        {100, 200, 4},   // equal x first (would send it right), then the right one
        {200, 100, -4},  // the right one first, then equal x
    };
    for (const Case& c : cases) {
        std::vector<Bird> birds = {BirdAt(c.firstX, 0), BirdAt(100, 0), BirdAt(c.secondX, 0)};
        std::vector<Bird> before = birds;
        TurnAwayFromOverlaps(birds, 1);
        EXPECT_EQ(birds[1].stepX, c.stepX) << c.firstX << " then " << c.secondX;
        EXPECT_EQ(birds[1].stepY, -4) << "equal y moves down";
        for (size_t i : {size_t{0}, size_t{2}}) {
            EXPECT_EQ(birds[i].stepX, before[i].stepX) << "neighbour " << i << " untouched";
            EXPECT_EQ(birds[i].stepY, before[i].stepY) << "neighbour " << i << " untouched";
        }
    }
}

TEST(Flock, BirdTouchingNobodyKeepsItsCourse) {
    std::vector<Bird> birds = {BirdAt(0, 0), BirdAt(400, 0), BirdAt(121, 300)};
    TurnAwayFromOverlaps(birds, 1);
    EXPECT_EQ(birds[1].stepX, 4);
    EXPECT_EQ(birds[1].stepY, 4);
}

// Whatever the monitors' layout, the picture is the screen behind the window: the full-screen
// window's is the whole clip box it covers, and a preview's block lies on the primary monitor.
TEST(Flock, PictureStartsWhereTheFullScreenWindowDoes) {
    // Clip boxes around a 1024 x 768 primary monitor: alone, with a second monitor left of it,
    // above it, left of and above it, and a wider one above, beside which no monitor shows.
    const PixelRect boxes[] = {{0, 0, 1024, 768},
                               {-1920, 0, 1024, 1080},
                               {0, -1080, 1920, 768},
                               {-1280, -1024, 1024, 768},
                               {0, -1024, 1280, 768}};
    for (const PixelRect& box : boxes) {
        HostPoint full = PictureOrigin(false, {box.left, box.top});
        EXPECT_TRUE(full.x == box.left && full.y == box.top) << box.left << "," << box.top;
        HostPoint preview = PictureOrigin(true, {box.left, box.top});
        EXPECT_TRUE(preview.x >= 0 && preview.y >= 0 && preview.x + 152 <= 1024 &&
                    preview.y + 112 <= 768)
            << box.left << "," << box.top;
    }
}

}  // namespace
