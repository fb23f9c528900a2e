// birdgen: draws the saver's bird artwork and icon from vector shapes, so the committed
// resources can be reproduced and changed by editing numbers.
//   birdgen OUT_DIR                 writes bird1..4.bmp, mask1..4.bmp and quillet.ico
//   birdgen --preview SHEET.ppm     writes a contact sheet to look at
#include <cstdio>
#include <cstring>
#include <string>

#include "tools/birdgen/bird_art.h"
#include "tools/birdgen/preview.h"

namespace {

bool WriteArtwork(const BirdArt& art, const std::string& dir) {
    bool ok = true;
    for (int f = 0; f < kFrameCount; f++) {
        std::string n = std::to_string(f + 1);
        ok &= WriteBytes(dir + "/bird" + n + ".bmp", EncodeFrameBmp(art.frames[f]));
        ok &= WriteBytes(dir + "/mask" + n + ".bmp",
                         EncodeMaskBmp(kCellSize, kCellSize, art.masks[f]));
    }
    return WriteBytes(dir + "/quillet.ico", EncodeIcon(art.icons)) && ok;
}

int Usage() {
    std::fprintf(stderr, "usage: birdgen OUT_DIR | birdgen --preview SHEET.ppm\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 && !(argc == 3 && std::strcmp(argv[1], "--preview") == 0)) {
        return Usage();
    }
    BirdArt art = MakeBirdArt();
    bool ok = argc == 3 ? WriteBytes(argv[2], MakePreviewPpm(art)) : WriteArtwork(art, argv[1]);
    if (!ok) {
        std::fprintf(stderr, "birdgen: cannot write %s\n", argv[argc - 1]);
        return 1;
    }
    return 0;
}
