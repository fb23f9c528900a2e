// Plane geometry for drawing the bird: colours, ellipses, polygons flattened from Bezier
// curves, and the inside tests the rasteriser asks for every sample.
#pragma once

#include <vector>

struct Rgb {
    double r;
    double g;
    double b;
};

struct Vec2 {
    double x;
    double y;
};

using Polygon = std::vector<Vec2>;

Rgb Mix(Rgb a, Rgb b, double t);
Rgb Scale(Rgb c, double k);
double Clamp01(double t);
double SmoothStep(double edge0, double edge1, double t);

// An ellipse turned by angle (radians); local coordinates are (-1..1, -1..1) inside it.
struct Ellipse {
    Vec2 center;
    double rx;
    double ry;
    double angle;
};

Vec2 EllipseLocal(const Ellipse& e, Vec2 p);
bool InEllipse(const Ellipse& e, Vec2 p);

// Appends the cubic Bezier p0..p3 to poly, without p0 (the previous segment's end).
void AppendBezier(Polygon& poly, Vec2 p0, Vec2 p1, Vec2 p2, Vec2 p3, int steps);
bool InPolygon(const Polygon& poly, Vec2 p);

// A frame placed at origin whose x axis points along angle: shapes drawn in it can be turned
// about a hinge, as a wing turns about the shoulder.
struct Frame2 {
    Vec2 origin;
    double angle;
};

Vec2 ToWorld(const Frame2& f, Vec2 local);
Vec2 ToLocal(const Frame2& f, Vec2 world);
