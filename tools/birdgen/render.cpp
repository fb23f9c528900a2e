// Rasterises the bird figure with supersampling.
#include "tools/birdgen/render.h"

#include <algorithm>
#include <cmath>

namespace {

struct Samples {
    int n = 0;
    std::vector<uint8_t> layer;
    std::vector<Rgb> color;
};

struct Offset {
    int dx;
    int dy;
    double distance;
};

Samples SampleFigure(const BirdFigure& bird, const View& view) {
    Samples s;
    s.n = view.size * view.supersample;
    s.layer.resize(size_t(s.n) * s.n);
    s.color.resize(size_t(s.n) * s.n);
    double step = view.cellPerPixel / view.supersample;
    for (int y = 0; y < s.n; y++) {
        for (int x = 0; x < s.n; x++) {
            Vec2 p = {view.originX + (x + 0.5) * step, view.originY + (y + 0.5) * step};
            BirdHit hit = SampleBird(bird, p);
            s.layer[size_t(y) * s.n + x] = uint8_t(hit.layer);
            s.color[size_t(y) * s.n + x] = hit.color;
        }
    }
    return s;
}

std::vector<Offset> OffsetsWithin(double radius) {
    std::vector<Offset> offsets;
    int r = int(std::ceil(radius));
    for (int dy = -r; dy <= r; dy++) {
        for (int dx = -r; dx <= r; dx++) {
            double d = std::sqrt(double(dx * dx + dy * dy));
            if (d <= radius && d > 0) {
                offsets.push_back({dx, dy, d});
            }
        }
    }
    std::stable_sort(offsets.begin(), offsets.end(),
                     [](const Offset& a, const Offset& b) { return a.distance < b.distance; });
    return offsets;
}

// A sample lies on the outline when a sample further back (or outside the cell) is near.
bool OnOutline(const Samples& s, int x, int y, const std::vector<Offset>& offsets, double outline,
               double seam) {
    int own = s.layer[size_t(y) * s.n + x];
    for (const Offset& o : offsets) {
        int nx = x + o.dx, ny = y + o.dy;
        bool inCell = nx >= 0 && ny >= 0 && nx < s.n && ny < s.n;
        int other = inCell ? int(s.layer[size_t(ny) * s.n + nx]) : int(kOutside);
        double reach = other == kOutside ? outline : seam;
        if (other < own && o.distance <= reach) {
            return true;
        }
    }
    return false;
}

void DrawOutline(Samples& s, const View& view) {
    double outline = view.outlineWidth * view.supersample;
    double seam = view.seamWidth * view.supersample;
    std::vector<Offset> offsets = OffsetsWithin(std::max(outline, seam));
    std::vector<uint8_t> marked(s.layer.size());
    for (int y = 0; y < s.n; y++) {
        for (int x = 0; x < s.n; x++) {
            bool inside = s.layer[size_t(y) * s.n + x] != kOutside;
            marked[size_t(y) * s.n + x] = inside && OnOutline(s, x, y, offsets, outline, seam);
        }
    }
    for (size_t i = 0; i < marked.size(); i++) {
        if (marked[i]) {
            s.color[i] = OutlineColor();
        }
    }
}

uint8_t Round8(double v) {
    return uint8_t(std::lround(std::min(255.0, std::max(0.0, v))));
}

// A pixel is opaque when more than half of its samples are inside; its colour is the mean of
// those inside samples alone.
void Downsample(const Samples& s, const View& view, Picture& picture, int px, int py) {
    int ss = view.supersample, count = 0;
    Rgb sum = {0, 0, 0};
    for (int y = py * ss; y < (py + 1) * ss; y++) {
        for (int x = px * ss; x < (px + 1) * ss; x++) {
            if (s.layer[size_t(y) * s.n + x] != kOutside) {
                const Rgb& c = s.color[size_t(y) * s.n + x];
                sum = {sum.r + c.r, sum.g + c.g, sum.b + c.b};
                count++;
            }
        }
    }
    size_t i = size_t(py) * picture.size + px;
    picture.opaque[i] = 2 * count > ss * ss;
    picture.color[i] =
        count ? Rgb8{Round8(sum.r / count), Round8(sum.g / count), Round8(sum.b / count)}
              : Rgb8{255, 255, 255};
}

}  // namespace

Picture RenderBird(const BirdFigure& bird, const View& view) {
    Samples samples = SampleFigure(bird, view);
    DrawOutline(samples, view);
    Picture picture;
    picture.size = view.size;
    picture.opaque.resize(size_t(view.size) * view.size);
    picture.color.resize(size_t(view.size) * view.size);
    for (int y = 0; y < view.size; y++) {
        for (int x = 0; x < view.size; x++) {
            Downsample(samples, view, picture, x, y);
        }
    }
    return picture;
}
