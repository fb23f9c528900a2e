// The settings file "quilet01.ini": two lines, "Delay = n" and "CharNumber = n", read from and
// written to the process's current directory.
#pragma once

#include <cstdint>

class BirdSaver;

constexpr const char* kSettingsFileName = "quilet01.ini";
constexpr int32_t kDefaultDelay = 200;
constexpr int32_t kDefaultBirdCount = 3;

// Why a save failed: the system's own error code where the system gave one (0 where it gave
// none, as for a disk that filled up), and the run-time library's errno value.
struct SaveFailure {
    int systemError = 0;
    int runtimeError = 0;
};

// Overrides delay and birdCount with what the file gives; a setting the file does not give,
// or a file that cannot be opened, keeps the value the caller put there.
void LoadSettings(BirdSaver& saver);
// Replaces the file with the two settings and answers whether all of it was written. When it
// was not, the file keeps its earlier content (a file that did not exist is not left behind)
// and *failure, if given, says why.
bool SaveSettings(const BirdSaver& saver, SaveFailure* failure);

// The same on a named file, for callers (and tests) that do not work in the current directory.
void ReadSettingsFile(const char* path, int32_t& delay, int32_t& birdCount);
bool WriteSettingsFile(const char* path, int32_t delay, int32_t birdCount,
                       SaveFailure* failure = nullptr);
