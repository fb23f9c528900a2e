// The settings file "quilet01.ini": one line per setting, "Delay = n" and "CharNumber = n".
// Everyone's copy lives in the process's current folder; a user who may not write there keeps a
// copy of their own in a "Quillet" folder under the folder APPDATA names. This reads and writes
// either file and decides which one a read or a save takes.
#pragma once

#include <cstdint>

#include "saver/settings_disk.h"

constexpr const char* kSettingsFileName = "quilet01.ini";
constexpr const char* kUserSettingsFolder = "Quillet";

// What the file keeps, with the values a setting the file does not give takes. A read starts
// from a fresh record, so a setting a later file no longer gives falls back to its default and
// not to what an earlier read found.
struct SaverSettings {
    int32_t delay = 200;    // the animation timer's period, in milliseconds
    int32_t birdCount = 3;  // how many birds fly ("CharNumber" in the file)
};

// Room for the user's copy's full name and its terminating NUL: the system's MAX_PATH.
constexpr int kSettingsPathSize = 260;

// Why a save failed: the system's own error code (a disk that filled up gives its own), and
// the file that could not be written.
struct SaveFailure {
    int systemError = 0;
    char file[kSettingsPathSize] = {};
};

// The two files the settings may live in. The user's copy has a name only where APPDATA
// names a folder; then userFolder is that folder's "Quillet" and userFile the copy in it.
struct SettingsPlaces {
    char userFolder[kSettingsPathSize] = {};
    char userFile[kSettingsPathSize] = {};
    bool userFileExists = false;
};

// How a save reaches the disk: the Windows layer passes the real operations, tests stand-ins.
struct SaveOperations {
    bool (*writeFile)(const char* path, const SaverSettings& settings, SaveFailure* failure);
    void (*makeFolder)(const char* path);
};

// Names the user's copy under appData and asks lookUp whether it exists: 0 where the system
// finds it, else the system's answer. Without a folder to put it in (appData null, empty, not a
// full path, or too long) there is no user copy.
using LookUpAnswer = uint32_t (*)(const char* path);
SettingsPlaces FindSettingsPlaces(const char* appData, LookUpAnswer lookUp = LookUpFile);
// The user's copy once it exists, otherwise the current folder's file.
const char* SettingsFileToRead(const SettingsPlaces& places);
// Writes the file a read would take. Where that is the current folder's file and the system
// refuses it for lack of permission, the user's copy is made instead, as Windows' own
// redirection does for old programs; any other failure is reported, not worked around.
bool SaveSettingsTo(const SettingsPlaces& places, const SaverSettings& settings,
                    const SaveOperations& operations, SaveFailure* failure);

// The file this user's settings come from and go to (Windows only): FindSettingsPlaces on
// APPDATA. WriteSettings answers whether the settings were written; when they were not,
// *failure, if given, says why and where.
void ReadSettings(SaverSettings& settings);
bool WriteSettings(const SaverSettings& settings, SaveFailure* failure);

// The reader and writer of one named file. The reader overrides what the file gives; a setting
// the file does not give, or a file that cannot be opened, keeps the value the caller put there.
// A write that fails leaves the file with its earlier content (a file that did not exist is not
// left behind); *failure, if given, says why.
void ReadSettingsFile(const char* path, SaverSettings& settings);
bool WriteSettingsFile(const char* path, const SaverSettings& settings,
                       SaveFailure* failure = nullptr);
