// Plane geometry for drawing the bird.
#include "tools/birdgen/shapes.h"

#include <cmath>

Rgb Mix(Rgb a, Rgb b, double t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Rgb Scale(Rgb c, double k) {
    return {c.r * k, c.g * k, c.b * k};
}

double Clamp01(double t) {
    return t < 0 ? 0 : (t > 1 ? 1 : t);
}

double SmoothStep(double edge0, double edge1, double t) {
    double s = Clamp01((t - edge0) / (edge1 - edge0));
    return s * s * (3 - 2 * s);
}

Vec2 EllipseLocal(const Ellipse& e, Vec2 p) {
    Vec2 local = ToLocal({e.center, e.angle}, p);
    return {local.x / e.rx, local.y / e.ry};
}

bool InEllipse(const Ellipse& e, Vec2 p) {
    Vec2 l = EllipseLocal(e, p);
    return l.x * l.x + l.y * l.y <= 1.0;
}

void AppendBezier(Polygon& poly, Vec2 p0, Vec2 p1, Vec2 p2, Vec2 p3, int steps) {
    for (int i = 1; i <= steps; i++) {
        double t = double(i) / steps;
        double u = 1 - t;
        double a = u * u * u, b = 3 * u * u * t, c = 3 * u * t * t, d = t * t * t;
        poly.push_back(
            {a * p0.x + b * p1.x + c * p2.x + d * p3.x, a * p0.y + b * p1.y + c * p2.y + d * p3.y});
    }
}

// Even-odd crossing test; the bird's outlines never cross themselves, so the rule is moot.
bool InPolygon(const Polygon& poly, Vec2 p) {
    bool inside = false;
    size_t n = poly.size();
    for (size_t i = 0, j = n - 1; i < n; j = i++) {
        const Vec2& a = poly[i];
        const Vec2& b = poly[j];
        if ((a.y > p.y) != (b.y > p.y) && p.x < (b.x - a.x) * (p.y - a.y) / (b.y - a.y) + a.x) {
            inside = !inside;
        }
    }
    return inside;
}

Vec2 ToWorld(const Frame2& f, Vec2 local) {
    double c = std::cos(f.angle), s = std::sin(f.angle);
    return {f.origin.x + local.x * c - local.y * s, f.origin.y + local.x * s + local.y * c};
}

Vec2 ToLocal(const Frame2& f, Vec2 world) {
    double c = std::cos(f.angle), s = std::sin(f.angle);
    double dx = world.x - f.origin.x, dy = world.y - f.origin.y;
    return {dx * c + dy * s, -dx * s + dy * c};
}
