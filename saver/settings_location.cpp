// Where the Windows build keeps this user's settings: the file in the current folder, or the
// user's own copy under the folder APPDATA names. Found afresh for every read and save, so a
// copy made or deleted meanwhile counts at once.
#include <windows.h>

#include "saver/settings.h"

namespace {

// Windows 95 without user profiles has no APPDATA; a name too long to hold is treated alike,
// rather than cut short into some other folder.
SettingsPlaces LocateSettings() {
    char appData[kSettingsPathSize];
    DWORD length = GetEnvironmentVariableA("APPDATA", appData, sizeof(appData));
    bool named = length > 0 && length < sizeof(appData);
    return FindSettingsPlaces(named ? appData : nullptr);
}

// A folder that is already there is what is wanted; any other failure shows when the copy
// cannot be written into it.
void MakeFolder(const char* path) {
    CreateDirectoryA(path, nullptr);
}

}  // namespace

void ReadSettings(SaverSettings& settings) {
    ReadSettingsFile(SettingsFileToRead(LocateSettings()), settings);
}

bool WriteSettings(const SaverSettings& settings, SaveFailure* failure) {
    SaveOperations operations = {WriteSettingsFile, MakeFolder};
    return SaveSettingsTo(LocateSettings(), settings, operations, failure);
}
