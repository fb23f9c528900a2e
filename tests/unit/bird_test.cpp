// A single bird's motion: its random start, the clamp into the window, the edge bounce, the
// flapping order, the overlap test and the collision turn.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <vector>

#include "saver/bird.h"

namespace {

constexpr int32_t kSprite = 120;  // the shipped artwork's size

Bird MakeBird(int32_t x, int32_t y, int32_t stepX = 4, int32_t stepY = 4) {
    Bird bird;
    bird.x = x;
    bird.y = y;
    bird.width = kSprite;
    bird.height = kSprite;
    bird.frameStep = 1;
    bird.stepX = stepX;
    bird.stepY = stepY;
    return bird;
}

// Hands out a fixed list of draws, the way rand would after some seed.
const int* gScript = nullptr;
int ScriptedRandom() {
    return *gScript++;
}

TEST(BirdMotion, StartDrawsFrameThenSigns) {
    struct Case {
        int draws[3];
        int32_t frame, stepX, stepY;
    } cases[] = {
        {{0, 0, 0}, 0, 4, 4},
        {{6, 0, 1}, 2, 4, -4},
        {{32767, 32767, 32766}, 3, -4, 4},
        {{5, 3, 7}, 1, -4, -4},
    };
    for (const Case& c : cases) {
        gScript = c.draws;
        Bird bird;
        bird.currentImage = bird.currentMask = 3;
        bird.ChooseStart(17, -9, ScriptedRandom);
        EXPECT_EQ(gScript, c.draws + 3) << "exactly three draws";
        EXPECT_EQ(bird.frame, c.frame);
        EXPECT_EQ(bird.stepX, c.stepX);
        EXPECT_EQ(bird.stepY, c.stepY);
        EXPECT_EQ(bird.frameStep, 1);
        EXPECT_EQ(bird.x, 17);
        EXPECT_EQ(bird.y, -9);
        EXPECT_EQ(bird.currentImage, 0) << "the first step shows frame 1";
        EXPECT_EQ(bird.currentMask, 0);
    }
}

TEST(BirdMotion, FramesFollowTheRandomCounter) {
    // Start counter 2: frame 1 first, then 4, 1, 2, 3, 4, 1 (as image indexes 0, 3, 0, ...).
    const int draws[] = {2, 0, 0};
    gScript = draws;
    Bird bird;
    bird.ChooseStart(0, 0, ScriptedRandom);
    const int32_t expected[] = {0, 3, 0, 1, 2, 3, 0};
    for (int32_t image : expected) {
        EXPECT_EQ(bird.currentImage, image);
        EXPECT_EQ(bird.currentMask, image);
        bird.AdvanceFrame();
    }
}

TEST(BirdMotion, ClampKeepsOnlyTheFarEdges) {
    struct Case {
        int32_t right, bottom, startX, startY, x, y;
    } cases[] =
        {
            {1024, 768, 1023, 767, 904, 648}, {1024, 768, 904, 648, 904, 648},
            {1024, 768, 0, 0, 0, 0},          {1024, 768, 500, 700, 500, 648},
            {152, 112, 100, 50, 32, -8},  // a preview lower than the sprite
            {100, 80, 99, 79, -20, -40},      {120, 120, 119, 5, 0, 0},
            {1, 1, 0, 0, -119, -119},
        };
    for (const Case& c : cases) {
        Bird bird = MakeBird(c.startX, c.startY);
        bird.ClampInto(c.right, c.bottom);
        EXPECT_EQ(bird.x, c.x) << c.right << "x" << c.bottom << " from " << c.startX;
        EXPECT_EQ(bird.y, c.y) << c.right << "x" << c.bottom << " from " << c.startY;
    }
}

TEST(BirdMotion, StepBouncesOffTheEdges) {
    struct Case {
        int32_t x, y, stepX, stepY;
        int32_t movedX, movedY, newStepX, newStepY;
    } cases[] = {
        {500, 300, 4, 4, 496, 296, 4, 4},    // well inside: no turn
        {0, 300, 4, 4, -4, 296, -4, 4},      // past the left edge: now moving right
        {-4, 300, -4, 4, 0, 296, -4, 4},     // back on the edge: keeps going right
        {4, 300, 4, 4, 0, 296, 4, 4},        // exactly on the left edge: no turn yet
        {904, 300, -4, 4, 908, 296, 4, 4},   // past right - width: now moving left
        {900, 300, -4, 4, 904, 296, -4, 4},  // exactly at right - width: no turn
        {500, 0, 4, 4, 496, -4, 4, -4},      // past the top: now moving down
        {500, 648, 4, -4, 496, 652, 4, 4},   // past bottom - height: now moving up
        {500, 644, 4, -4, 496, 648, 4, -4},  // exactly at bottom - height: no turn
        {0, 0, 4, 4, -4, -4, -4, -4},        // a corner turns both ways at once
        {904, 648, -4, -4, 908, 652, 4, 4},
    };
    for (const Case& c : cases) {
        Bird bird = MakeBird(c.x, c.y, c.stepX, c.stepY);
        bird.MoveWithin(1024, 768);
        EXPECT_EQ(bird.x, c.movedX);
        EXPECT_EQ(bird.y, c.movedY);
        EXPECT_EQ(bird.stepX, c.newStepX) << "from x " << c.x;
        EXPECT_EQ(bird.stepY, c.newStepY) << "from y " << c.y;
    }
}

// Counts on which of the first `steps` steps the vertical direction flipped.
std::vector<int> VerticalReversals(Bird bird, int32_t bottom, int steps) {
    std::vector<int> reversals;
    for (int i = 1; i <= steps; i++) {
        int32_t before = bird.stepY;
        bird.MoveWithin(1024, bottom);
        if (bird.stepY != before) {
            reversals.push_back(i);
        }
    }
    return reversals;
}

TEST(BirdMotion, AreaExactlyAsHighAsTheSpriteReversesEverySecondStep) {
    Bird bird = MakeBird(500, 0, 4, 4);
    bird.ClampInto(1024, kSprite);
    std::vector<int> expected;
    for (int i = 1; i <= 40; i += 2) {
        expected.push_back(i);
    }
    EXPECT_EQ(VerticalReversals(bird, kSprite, 40), expected);
}

TEST(BirdMotion, AreaLowerThanTheSpriteReversesAlmostEveryStep) {
    // Clamped to y = -20, the bird first drifts down to 0, then flips on every step.
    Bird bird = MakeBird(500, 50, 4, 4);
    bird.ClampInto(1024, 100);
    ASSERT_EQ(bird.y, -20);
    std::vector<int> expected = {1};
    for (int i = 7; i <= 40; i++) {
        expected.push_back(i);
    }
    EXPECT_EQ(VerticalReversals(bird, 100, 40), expected);
}

TEST(BirdMotion, Overlaps) {
    struct Case {
        int32_t ax, ay, bx, by;
        bool overlaps;
    } cases[] = {
        {0, 0, 0, 0, true},      {0, 0, 120, 0, true},    // sharing only the vertical edge
        {0, 0, 121, 0, false},   {0, 0, 0, 120, true},    // sharing only the horizontal edge
        {0, 0, 0, 121, false},   {0, 0, 120, 120, true},  // one shared corner
        {0, 0, 121, 120, false}, {0, 0, 60, 500, false},  // columns meet, rows do not
        {0, 0, 500, 60, false},  {-50, -50, 60, 60, true}, {300, 200, 250, 150, true},
    };
    for (const Case& c : cases) {
        Bird a = MakeBird(c.ax, c.ay);
        Bird b = MakeBird(c.bx, c.by);
        EXPECT_EQ(a.Overlaps(b), c.overlaps) << c.ax << "," << c.ay << " / " << c.bx << "," << c.by;
        EXPECT_EQ(b.Overlaps(a), c.overlaps) << "swapped";
    }
}

TEST(BirdMotion, BirdWithoutArtworkTouchesNothing) {
    Bird lost = MakeBird(10, 10);
    lost.width = lost.height = 0;
    Bird other = MakeBird(0, 0);
    EXPECT_FALSE(lost.Overlaps(other));
    EXPECT_FALSE(other.Overlaps(lost));
    EXPECT_FALSE(lost.Overlaps(lost));
}

// Overlap is the closed-box intersection, whatever sizes the boxes have, in either order.
TEST(BirdMotion, OverlapsMatchesBoxIntersection) {
    std::mt19937 gen(7);
    std::uniform_int_distribution<int32_t> pos(-200, 1200);
    std::uniform_int_distribution<int32_t> size(1, 300);
    for (int i = 0; i < 20000; i++) {
        Bird a = MakeBird(pos(gen), pos(gen));
        Bird b = MakeBird(pos(gen), pos(gen));
        a.width = size(gen);
        a.height = size(gen);
        b.width = size(gen);
        b.height = size(gen);
        bool expected = std::max(a.x, b.x) <= std::min(a.x + a.width, b.x + b.width) &&
                        std::max(a.y, b.y) <= std::min(a.y + a.height, b.y + b.height);
        ASSERT_EQ(a.Overlaps(b), expected) << i;
        ASSERT_EQ(b.Overlaps(a), expected) << i;
    }
}

TEST(BirdMotion, TurnAwayFrom) {
    struct Case {
        int32_t x, y, otherX, otherY, stepX, stepY;
    } cases[] = {
        {0, 0, 50, 50, 4, 4},    // left of and above the other: leave left and up
        {50, 50, 0, 0, -4, -4},  // right of and below: leave right and down
        {50, 0, 0, 50, -4, 4},   {30, 30, 30, 30, -4, -4},  // equal coordinates: right and down
        {30, 10, 30, 90, -4, 4},
    };
    for (const Case& c : cases) {
        for (int32_t startX : {4, -4}) {
            for (int32_t startY : {4, -4}) {
                Bird bird = MakeBird(c.x, c.y, startX, startY);
                Bird other = MakeBird(c.otherX, c.otherY, 4, -4);
                bird.TurnAwayFrom(other);
                EXPECT_EQ(bird.stepX, c.stepX) << c.x << " vs " << c.otherX;
                EXPECT_EQ(bird.stepY, c.stepY) << c.y << " vs " << c.otherY;
                EXPECT_EQ(other.stepX, 4) << "the other bird is left alone";
                EXPECT_EQ(other.stepY, -4);
            }
        }
    }
}

// A bird that touches nobody never stands more than one step beyond the area it bounces in,
// whatever the area's size (one lower or narrower than the sprite included).
TEST(BirdMotion, LoneBirdStaysWithinOneStepOfItsArea) {
    std::mt19937 gen(11);
    std::uniform_int_distribution<int32_t> side(1, 1600);
    std::uniform_int_distribution<int32_t> coin(0, 1);
    for (int i = 0; i < 300; i++) {
        int32_t right = side(gen);
        int32_t bottom = side(gen);
        Bird bird = MakeBird(std::uniform_int_distribution<int32_t>(0, right - 1)(gen),
                             std::uniform_int_distribution<int32_t>(0, bottom - 1)(gen),
                             coin(gen) ? 4 : -4, coin(gen) ? 4 : -4);
        bird.ClampInto(right, bottom);
        int32_t lowX = std::min(0, right - kSprite) - 4, highX = std::max(0, right - kSprite) + 4;
        int32_t lowY = std::min(0, bottom - kSprite) - 4;
        int32_t highY = std::max(0, bottom - kSprite) + 4;
        for (int step = 0; step < 800; step++) {
            bird.MoveWithin(right, bottom);
            ASSERT_TRUE(lowX <= bird.x && bird.x <= highX) << right << " wide, x " << bird.x;
            ASSERT_TRUE(lowY <= bird.y && bird.y <= highY) << bottom << " high, y " << bird.y;
            ASSERT_EQ(std::abs(bird.stepX), 4);
            ASSERT_EQ(std::abs(bird.stepY), 4);
        }
    }
}

}  // namespace
