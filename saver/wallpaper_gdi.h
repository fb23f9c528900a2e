// The desktop background on the system side: which desktop the saver runs on, the user's
// background settings, the monitors, and the painting of it all into the back buffer.
#pragma once

#include <cstdint>

#include "host/handles.h"

// True on the system's secure screen-saver desktop. The Windows 95 family has no desktops of
// this kind, and a name that cannot be read counts as the user's desktop.
bool OnSecureDesktop();

// Paints the desktop background as the system draws it with no windows on it (the colour, and
// the wallpaper placed in the user's style on each monitor) into a 32-bit top-down picture of
// the window's size whose 0,0 is the screen point windowCorner. Without a wallpaper that can be
// read, or should memory run short, the colour alone.
void PaintDesktopBackground(uint32_t* pixels, int32_t width, int32_t height,
                            HostPoint windowCorner);
