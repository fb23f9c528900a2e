// A contact sheet for looking at the artwork: every frame composited the way the saver
// composites it, over a dark and a light desktop, with the icon images below.
#pragma once

#include "tools/birdgen/bird_art.h"

Bytes MakePreviewPpm(const BirdArt& art);
