// The flock's dealings with the system's drawing: the artwork read once into plain pixels, the
// back buffer the birds are composed in, the capture of the desktop and the hand-over of each
// step to the window.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "host/handles.h"
#include "saver/artwork.h"
#include "saver/compositor.h"

// A 32-bit picture the program can address, selected for good into a memory context of its
// own. All null when the system cannot make it.
struct BackBuffer {
    HBITMAP bitmap;
    HDC context;
    uint32_t* pixels;
};

// 32 bits per pixel, rows from the top: the layout the compositor and the desktop background
// work in.
BITMAPINFO PixelLayout(int32_t width, int32_t height);

// False, with the artwork left empty, unless all four frames and masks load with one size.
bool LoadArtwork(Artwork& artwork);

BackBuffer CreateBackBuffer(HWND window, int32_t width, int32_t height);
void DeleteBackBuffer(HBITMAP bitmap, HDC context);

// Copies the block of the screen behind the window, width x height from the picture's origin
// (PictureOrigin), into target. False when the screen could not be read: no context for it,
// or a copy the system refused.
bool CopyScreenBlock(HDC target, int32_t width, int32_t height);

// CopyScreenBlock into the back buffer, finished before the compositor reads it.
bool CaptureDesktop(HDC backBuffer, int32_t width, int32_t height);

// Gives the window the patches a step changed, one by one or as one block.
void PresentChanges(HDC windowDC, HDC backBuffer, const std::vector<PixelRect>& changed);
