// The desktop background as Windows draws it with no windows on it: the colour, and the
// wallpaper placed on each monitor in the user's style. The saver paints it where it cannot
// read the user's desktop (the system's secure screen-saver desktop, or a capture that
// failed). Everything here is decisions and pixel arithmetic; reading the settings and
// decoding the file are the Win32 layer's (saver/wallpaper_gdi.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "host/handles.h"
#include "saver/compositor.h"

// The desktop a secure screen saver runs on, as the system names it.
constexpr const char* kSecureDesktopName = "Screen-saver";

// Whether the frozen picture is built from the background settings rather than the capture.
// The preview never is: the settings dialog's own desktop is always the user's.
bool UseBackgroundPicture(bool preview, bool onSecureDesktop, bool captureFailed);

// The thread's desktop name, compared without regard to case; null (unknown) is the user's.
bool IsSecureDesktopName(const char* name);

enum class WallpaperStyle { kCentre, kTile, kStretch, kFit, kFill, kSpan };

// WallpaperStyle and TileWallpaper as the desktop settings hold them (either may be null when
// missing). Tile is style 0 with TileWallpaper 1; any value the table does not know is centre.
WallpaperStyle ParseWallpaperStyle(const char* wallpaperStyle, const char* tileWallpaper);

// The files to try, in order, for the wallpaper setting `named`: the named file, then the copy
// the system keeps of it under appData (Windows 8 and later, then Windows 7). Writes the one at
// `index` into out; false when there is none (past the last, or a setting that names no
// wallpaper: "" or the 95 family's "(None)") or it does not fit.
bool WallpaperCandidate(int32_t index, const char* named, const char* appData, char* out,
                        size_t outSize);

enum class PictureFormat { kUnknown, kBmp, kJpeg, kGif, kPng };

// Told by the file's first bytes, never by its name (the system's own copy has none).
PictureFormat DetectPictureFormat(const uint8_t* head, size_t length);

// COLORREF (0x00BBGGRR) to a 0x00RRGGBB pixel.
uint32_t PixelFromColorRef(uint32_t colorRef);

// Where one copy of the picture goes: scaled to `picture`'s size with its corner there (it may
// reach beyond `area`), and drawn only inside `area`. A tiled placement repeats the picture,
// unscaled, with one tile's corner at `picture`'s corner. Window coordinates.
struct WallpaperPlacement {
    PixelRect area;
    PixelRect picture;
    bool tiled;
};

// monitors: each monitor's rectangle in window coordinates, or empty when the list cannot be
// read (the whole window then counts as one monitor). primaryCorner: where the screen's 0,0,
// the primary monitor's top-left corner, lies in window coordinates (tiling is anchored there).
std::vector<WallpaperPlacement> PlaceWallpaper(WallpaperStyle style, int32_t pictureWidth,
                                               int32_t pictureHeight,
                                               const std::vector<PixelRect>& monitors,
                                               int32_t windowWidth, int32_t windowHeight,
                                               HostPoint primaryCorner);

// A picture in 0x00RRGGBB pixels, rows from the top.
struct PixelImage {
    uint32_t* pixels;
    int32_t width;
    int32_t height;
};

void FillPixels(PixelImage target, uint32_t colour);

// Pixels of scratch memory DrawPlacement needs for this placement.
size_t PlacementScratchPixels(const PixelImage& picture, const WallpaperPlacement& placement);

// Draws the picture into the target as placed, resampled with a triangle filter as wide as the
// scale asks (so a shrunk photo is averaged, not sampled); at its own size it is copied exactly.
void DrawPlacement(PixelImage target, const PixelImage& picture,
                   const WallpaperPlacement& placement, uint32_t* scratch);
