// Reading a picture file into plain pixels with whatever decoder the system has: BMP through
// USER32 everywhere, JPEG, GIF and PNG through GDI+ where it is installed, and JPEG and GIF
// through OLE's picture loader where GDI+ is not.
#pragma once

#include <windows.h>

#include "saver/wallpaper_layout.h"

// A picture held in a 32-bit DIB section; all null when nothing could read the file.
struct DecodedPicture {
    HBITMAP bitmap;
    PixelImage image;
};

// The decoder is chosen by the file's first bytes, never by its name.
DecodedPicture DecodePictureFile(const char* path, PictureFormat format);

// Releases the picture's memory.
void ReleasePicture(DecodedPicture& picture);
