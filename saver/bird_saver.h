// The flock scene behind the saver window, and the short-lived object each settings-dialog
// message is handled by.
#pragma once

#include <cstdint>
#include <vector>

#include "host/handles.h"
#include "saver/bird.h"
#include "saver/settings.h"

class BirdSaver {
public:
    uint32_t timerId = 0;
    int32_t delay = kDefaultDelay;
    WindowHandle window = nullptr;
    std::vector<Bird> birds;
    int32_t birdCount = kDefaultBirdCount;
    BitmapHandle background = nullptr;
};
