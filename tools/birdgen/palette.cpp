// Median-cut palette reduction.
#include "tools/birdgen/palette.h"

#include <algorithm>
#include <map>

namespace {

struct Weighted {
    Rgb8 color;
    long count;
};

using Box = std::vector<Weighted>;

int Channel(Rgb8 c, int channel) {
    return channel == 0 ? c.r : (channel == 1 ? c.g : c.b);
}

// The channel with the widest spread and its width.
std::pair<int, int> WidestChannel(const Box& box) {
    std::pair<int, int> best = {0, -1};
    for (int ch = 0; ch < 3; ch++) {
        int lo = 255, hi = 0;
        for (const Weighted& w : box) {
            lo = std::min(lo, Channel(w.color, ch));
            hi = std::max(hi, Channel(w.color, ch));
        }
        if (hi - lo > best.second) {
            best = {ch, hi - lo};
        }
    }
    return best;
}

// Splits at the weighted median of the widest channel; the spread decides which box is cut
// next, so large smooth areas keep their gradient steps small.
void SplitBox(Box& box, Box& upper) {
    int ch = WidestChannel(box).first;
    std::stable_sort(box.begin(), box.end(), [ch](const Weighted& a, const Weighted& b) {
        return Channel(a.color, ch) < Channel(b.color, ch);
    });
    long total = 0, seen = 0;
    for (const Weighted& w : box) {
        total += w.count;
    }
    size_t cut = 1;
    while (cut < box.size() - 1 && (seen += box[cut - 1].count) * 2 < total) {
        cut++;
    }
    upper.assign(box.begin() + long(cut), box.end());
    box.resize(cut);
}

Rgb8 Average(const Box& box) {
    double r = 0, g = 0, b = 0, n = 0;
    for (const Weighted& w : box) {
        r += double(w.color.r) * w.count;
        g += double(w.color.g) * w.count;
        b += double(w.color.b) * w.count;
        n += double(w.count);
    }
    return {uint8_t(r / n + 0.5), uint8_t(g / n + 0.5), uint8_t(b / n + 0.5)};
}

}  // namespace

std::vector<Rgb8> MedianCutPalette(const std::vector<Rgb8>& pixels, size_t count) {
    std::map<int, long> histogram;
    for (Rgb8 c : pixels) {
        histogram[(c.r << 16) | (c.g << 8) | c.b]++;
    }
    std::vector<Box> boxes(1);
    for (const auto& [key, n] : histogram) {
        boxes[0].push_back({{uint8_t(key >> 16), uint8_t(key >> 8), uint8_t(key)}, n});
    }
    while (boxes.size() < count) {
        size_t widest = 0;
        for (size_t i = 1; i < boxes.size(); i++) {
            if (WidestChannel(boxes[i]).second > WidestChannel(boxes[widest]).second) {
                widest = i;
            }
        }
        if (boxes[widest].size() < 2) {
            break;
        }
        Box upper;
        SplitBox(boxes[widest], upper);
        boxes.push_back(upper);
    }
    std::vector<Rgb8> palette;
    for (const Box& box : boxes) {
        if (!box.empty()) {
            palette.push_back(Average(box));
        }
    }
    return palette;
}

int NearestIndex(const std::vector<Rgb8>& palette, Rgb8 c, int first, int last) {
    int best = first;
    long bestDistance = -1;
    for (int i = first; i < last; i++) {
        long dr = long(palette[i].r) - c.r, dg = long(palette[i].g) - c.g;
        long db = long(palette[i].b) - c.b;
        long d = dr * dr + dg * dg + db * db;
        if (bestDistance < 0 || d < bestDistance) {
            best = i;
            bestDistance = d;
        }
    }
    return best;
}
