// The settings file "quilet01.ini": two lines, "Delay = n" and "CharNumber = n", read from and
// written to the process's current directory.
#pragma once

#include <cstdint>

class BirdSaver;

constexpr const char* kSettingsFileName = "quilet01.ini";
constexpr int32_t kDefaultDelay = 200;
constexpr int32_t kDefaultBirdCount = 3;

// Overrides delay and birdCount with what the file gives; a setting the file does not give,
// or a file that cannot be opened, keeps the value the caller put there.
void LoadSettings(BirdSaver& saver);
// Replaces the file with the two settings; a failure is silent and leaves what reached disk.
void SaveSettings(const BirdSaver& saver);

// The same on a named file, for callers (and tests) that do not work in the current directory.
void ReadSettingsFile(const char* path, int32_t& delay, int32_t& birdCount);
void WriteSettingsFile(const char* path, int32_t delay, int32_t birdCount);
