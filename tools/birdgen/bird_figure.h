// The bird itself: its parts as vector shapes for each of the four wing-beat frames, and the
// colour of any point of the 120 x 120 cell. All the numbers that shape the art live here.
#pragma once

#include "tools/birdgen/shapes.h"

// Drawing order, back to front. An outline is drawn on a part wherever it borders a part
// further back (or the outside), which separates the wing from the body and the beak from
// the head without outlining the seam between head and body.
enum BirdLayer {
    kOutside = 0,
    kFarWing,
    kTail,
    kBody,
    kBeak,
    kEye,
    kWing,
};

struct Wing {
    bool visible;
    Frame2 hinge;   // x axis from the shoulder to the wing tip
    double length;  // span in pixels, shorter when the wing points at the viewer
    double side;    // +1 or -1: which local side the leading edge is on
    Polygon outline;
    Rgb root;
    Rgb tip;
};

struct BirdFigure {
    Ellipse body;
    Ellipse head;
    Ellipse eye;
    Ellipse eyeShine;
    Polygon tail;
    Polygon beak;
    Wing wing;
    Wing farWing;
};

struct BirdHit {
    BirdLayer layer;
    Rgb color;
};

constexpr int kFrameCount = 4;
constexpr int kCellSize = 120;

// frame 0: wings up, 1: level, 2: down, 3: level again.
BirdFigure MakeBirdFigure(int frame);
BirdHit SampleBird(const BirdFigure& bird, Vec2 p);

// Colour of the outline drawn inside the silhouette along every edge.
Rgb OutlineColor();
