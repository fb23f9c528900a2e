// The bird: a swallow-like songbird seen from the side, facing right, with a blue back, a
// warm breast and a forked tail. Colours are kept below pure white so that white stays the
// "outside" of every frame.
#include "tools/birdgen/bird_figure.h"

#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;

double Radians(double degrees) {
    return degrees * kPi / 180.0;
}

const Rgb kBack = {54, 104, 186};
const Rgb kBackLight = {110, 160, 228};
const Rgb kBreast = {240, 146, 72};
const Rgb kBelly = {246, 228, 196};
const Rgb kWingRoot = {66, 118, 204};
const Rgb kWingTip = {26, 44, 112};
const Rgb kCovert = {128, 178, 236};
const Rgb kTailRoot = {48, 90, 168};
const Rgb kTailTip = {24, 38, 96};
const Rgb kBeakTop = {252, 196, 64};
const Rgb kBeakBottom = {206, 128, 34};
const Rgb kEyeColor = {22, 18, 30};
const Rgb kEyeShine = {244, 244, 236};
const Rgb kOutline = {20, 26, 50};

// One wing-beat: the wing's direction from the shoulder, its apparent length and the body's
// bob (the body rises as the wings push down).
struct WingPose {
    double angleDegrees;
    double length;
    double side;
    double bob;
    bool farVisible;
};

const WingPose kPoses[kFrameCount] = {
    {-100, 55, +1, 2, true},
    {-166, 44, +1, 0, false},
    {112, 52, -1, -2, true},
    {-166, 44, +1, 0, false},
};

// A wing pointing along +x from (0, 0), leading edge on +y; the trailing edge ends in rounded
// feather tips.
Polygon WingOutline(double length, double width) {
    double l = length, w = width;
    Polygon poly = {{0, 0.45 * w}};
    AppendBezier(poly, {0, 0.45 * w}, {0.3 * l, 0.8 * w}, {0.75 * l, 0.45 * w}, {l, 0}, 24);
    Polygon trailing = {{l, 0}};
    AppendBezier(trailing, {l, 0}, {0.85 * l, -0.4 * w}, {0.4 * l, -0.8 * w}, {0, -0.55 * w}, 60);
    const int feathers = 7;
    const double depth = 0.11 * w;
    for (size_t i = 1; i < trailing.size(); i++) {
        double s = double(i) / (trailing.size() - 1);
        double f = s * feathers - std::floor(s * feathers);
        double bump = s < 0.85 ? 1 - (2 * f - 1) * (2 * f - 1) : 0;
        poly.push_back({trailing[i].x, trailing[i].y - depth * std::sqrt(bump)});
    }
    return poly;
}

Wing MakeWing(const WingPose& pose, Vec2 shoulder, double turn, double shrink) {
    Wing wing;
    wing.visible = true;
    wing.hinge = {shoulder, Radians(pose.angleDegrees + turn)};
    wing.length = pose.length * shrink;
    wing.side = pose.side;
    wing.outline = WingOutline(wing.length, 28);
    wing.root = kWingRoot;
    wing.tip = kWingTip;
    return wing;
}

Polygon TailOutline(double bob) {
    Polygon poly = {{42, 58 + bob}};
    AppendBezier(poly, {42, 58 + bob}, {30, 55 + bob}, {14, 50 + bob}, {2, 47 + bob}, 16);
    AppendBezier(poly, {2, 47 + bob}, {12, 54 + bob}, {20, 60 + bob}, {26, 66 + bob}, 10);
    AppendBezier(poly, {26, 66 + bob}, {18, 72 + bob}, {10, 80 + bob}, {4, 87 + bob}, 10);
    AppendBezier(poly, {4, 87 + bob}, {18, 81 + bob}, {32, 76 + bob}, {44, 74 + bob}, 16);
    return poly;
}

Polygon BeakOutline(double bob) {
    Polygon poly = {{97, 44.5 + bob}};
    AppendBezier(poly, {97, 44.5 + bob}, {104, 45 + bob}, {110, 48 + bob}, {115, 52 + bob}, 16);
    AppendBezier(poly, {115, 52 + bob}, {110, 54 + bob}, {104, 56 + bob}, {97, 57 + bob}, 16);
    return poly;
}

}  // namespace

BirdFigure MakeBirdFigure(int frame) {
    const WingPose& pose = kPoses[frame % kFrameCount];
    double bob = pose.bob;
    BirdFigure bird;
    bird.body = {{58, 67 + bob}, 30, 17, Radians(-12)};
    bird.head = {{86, 50 + bob}, 14.5, 14, 0};
    bird.eye = {{91, 46.5 + bob}, 3.4, 3.4, 0};
    bird.eyeShine = {{92.1, 45.4 + bob}, 1.2, 1.2, 0};
    bird.tail = TailOutline(bob);
    bird.beak = BeakOutline(bob);
    Vec2 shoulder = {62, 57 + bob};
    bird.wing = MakeWing(pose, shoulder, 0, 1.0);
    bird.farWing = MakeWing(pose, {shoulder.x + 4, shoulder.y}, pose.side * 16, 0.86);
    bird.farWing.visible = pose.farVisible;
    bird.farWing.root = Scale(kWingRoot, 0.72);
    bird.farWing.tip = Scale(kWingTip, 0.8);
    return bird;
}

Rgb OutlineColor() {
    return kOutline;
}

namespace {

double Length2(Vec2 v) {
    return v.x * v.x + v.y * v.y;
}

// Light from the upper left and the front, so the round parts look round.
double RoundLight(Vec2 local) {
    double z = std::sqrt(std::fmax(0.0, 1.0 - Length2(local)));
    double lit = -0.35 * local.x - 0.6 * local.y + 0.72 * z;
    return 0.7 + 0.38 * lit;
}

Rgb Limit(Rgb c) {
    auto limit = [](double v) { return v < 0 ? 0 : (v > 250 ? 250 : v); };
    return {limit(c.r), limit(c.g), limit(c.b)};
}

Rgb BodyColor(const BirdFigure& bird, Vec2 p) {
    Vec2 b = EllipseLocal(bird.body, p);
    Vec2 h = EllipseLocal(bird.head, p);
    bool headPart = Length2(h) < Length2(b);
    double belly = SmoothStep(-0.05, 0.35, b.y);
    double throat = SmoothStep(0.3, 0.75, h.y) * SmoothStep(-0.3, 0.3, h.x);
    double under = headPart ? std::fmax(throat, Length2(b) <= 1 ? belly : 0) : belly;
    Rgb underColor = Mix(kBelly, kBreast, SmoothStep(-0.6, 0.4, b.x));
    if (headPart) {
        underColor = kBreast;
    }
    Vec2 shade = headPart ? h : b;
    Rgb top = Mix(kBack, kBackLight, SmoothStep(-0.2, -0.9, shade.y));
    return Scale(Mix(top, underColor, under), RoundLight(shade));
}

Rgb WingColor(const Wing& wing, Vec2 local) {
    double t = local.x / wing.length;
    double v = local.y;
    Rgb c = Mix(wing.root, wing.tip, SmoothStep(0.1, 0.95, t));
    double covert = SmoothStep(-3, 5, v) * (1 - SmoothStep(0.3, 0.6, t));
    c = Mix(c, Scale(kCovert, wing.root.b / kWingRoot.b), 0.55 * covert);
    double f = t * 7 - std::floor(t * 7);
    if (v < -2 && (f < 0.08 || f > 0.94)) {
        c = Scale(c, 0.78);
    }
    return Scale(c, 0.92 + 0.012 * v);
}

Rgb TailColor(Vec2 p) {
    double t = Clamp01((44 - p.x) / 40);
    return Mix(kTailRoot, kTailTip, SmoothStep(0, 1, t));
}

Rgb BeakColor(const BirdFigure& bird, Vec2 p) {
    double top = bird.beak.front().y;
    double mouth = top + 6.5 + 0.05 * (p.x - 97);
    if (std::fabs(p.y - mouth) < 0.45) {
        return Scale(kBeakBottom, 0.55);
    }
    return Mix(kBeakTop, kBeakBottom, SmoothStep(top, top + 12, p.y));
}

bool InWing(const Wing& wing, Vec2 p, Vec2* local) {
    if (!wing.visible) {
        return false;
    }
    Vec2 l = ToLocal(wing.hinge, p);
    *local = {l.x, l.y * wing.side};
    return InPolygon(wing.outline, *local);
}

}  // namespace

BirdHit SampleBird(const BirdFigure& bird, Vec2 p) {
    Vec2 local;
    if (InWing(bird.wing, p, &local)) {
        return {kWing, Limit(WingColor(bird.wing, local))};
    }
    if (InEllipse(bird.eyeShine, p)) {
        return {kEye, kEyeShine};
    }
    if (InEllipse(bird.eye, p)) {
        return {kEye, kEyeColor};
    }
    if (InPolygon(bird.beak, p)) {
        return {kBeak, Limit(BeakColor(bird, p))};
    }
    if (InEllipse(bird.body, p) || InEllipse(bird.head, p)) {
        return {kBody, Limit(BodyColor(bird, p))};
    }
    if (InPolygon(bird.tail, p)) {
        return {kTail, Limit(TailColor(p))};
    }
    if (InWing(bird.farWing, p, &local)) {
        return {kFarWing, Limit(WingColor(bird.farWing, local))};
    }
    return {kOutside, {255, 255, 255}};
}
