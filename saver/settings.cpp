// Reader and writer of the settings file, and the choice between the current folder's file and
// the user's own copy. The file's bytes go through saver/settings_file.h, so the same bytes read
// the same way on Windows and in native tests.
#include "saver/settings.h"

#include <iterator>
#include <string>

#include "saver/settings_file.h"

namespace {

// The file's keys and the settings they carry, in the order the writer puts them down. The
// reader tries them in the same order and takes a line for the first key that gives a number.
struct SettingRow {
    const char* key;
    int32_t SaverSettings::*field;
};
constexpr SettingRow kSettingRows[] = {
    {"Delay", &SaverSettings::delay},
    {"CharNumber", &SaverSettings::birdCount},
};

// Every line the writer makes (a key, " = " and at most the 11 characters of the most negative
// number) must be one the reader takes whole: up to 63 characters, then CR LF.
constexpr size_t kWrittenSize = std::size(kSettingRows) * (kLineBufferSize - 1 + 2);
constexpr bool KeysFitALine() {
    for (const SettingRow& row : kSettingRows) {
        if (std::char_traits<char>::length(row.key) + sizeof(" = -2147483648") > kLineBufferSize) {
            return false;
        }
    }
    return true;
}
static_assert(KeysFitALine(), "every written line must read back whole");
static_assert(kWrittenSize <= kLongestFileText, "the rewrite keeps the old bytes the text covers");

// The key stands at the very start of the line, in the same case; each blank of " = %d"
// matches any run of white space, none included, and whatever follows the number is ignored.
// Digits beyond 32 bits wrap, as they did when the C library read them on Windows.
void MatchLine(const char* line, void* context) {
    SaverSettings& settings = *static_cast<SaverSettings*>(context);
    for (const SettingRow& row : kSettingRows) {
        int32_t value = 0;
        if (MatchSetting(line, row.key, &value)) {
            settings.*row.field = value;
            return;
        }
    }
}

// Named before the write starts, so that every way a write can fail reports which file it was.
void NameFile(SaveFailure* failure, const char* path) {
    size_t length = std::char_traits<char>::length(path);
    if (failure != nullptr && length < sizeof(failure->file)) {
        std::char_traits<char>::copy(failure->file, path, length + 1);
    }
}

}  // namespace

void ReadSettingsFile(const char* path, SaverSettings& settings) {
    ReadLines(path, MatchLine, &settings);
}

bool WriteSettingsFile(const char* path, const SaverSettings& settings, SaveFailure* failure) {
    char text[kWrittenSize];
    uint32_t length = 0;
    for (const SettingRow& row : kSettingRows) {
        length += PutSettingLine(text + length, row.key, settings.*row.field);
    }
    NameFile(failure, path);
    uint32_t error = ReplaceFileContent(path, text, length);
    if (failure != nullptr) {
        failure->systemError = static_cast<int>(error);
    }
    return error == 0;
}

namespace {

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

// A folder named from a drive's root or a network share. A relative APPDATA would put the
// user's copy under the current folder, the very place the shared file lives.
bool IsFullPath(const char* path) {
    bool drive = ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')) &&
                 path[1] == ':' && IsSeparator(path[2]);
    return drive || IsSeparator(path[0]);
}

// Adds text to the path; false when the path and its NUL would no longer fit.
bool Append(char (&path)[kSettingsPathSize], size_t& length, const char* text) {
    size_t more = std::char_traits<char>::length(text);
    if (length + more >= sizeof(path)) {
        return false;
    }
    std::char_traits<char>::copy(path + length, text, more + 1);
    length += more;
    return true;
}

}  // namespace

SettingsPlaces FindSettingsPlaces(const char* appData, LookUpAnswer lookUp) {
    SettingsPlaces places;
    if (appData == nullptr || !IsFullPath(appData)) {
        return places;
    }
    // Joined with the separator the folder's own name uses, so the path reads one way.
    const char* separator = "/";
    for (const char* c = appData; *c != '\0'; c++) {
        if (*c == '\\') {
            separator = "\\";
        }
    }
    size_t length = 0;
    bool fits = Append(places.userFolder, length, appData);
    if (fits && !IsSeparator(appData[length - 1])) {
        fits = Append(places.userFolder, length, separator);
    }
    fits = fits && Append(places.userFolder, length, kUserSettingsFolder);
    std::char_traits<char>::copy(places.userFile, places.userFolder, length + 1);
    fits = fits && Append(places.userFile, length, separator) &&
           Append(places.userFile, length, kSettingsFileName);
    if (!fits) {
        return SettingsPlaces();
    }
    places.userFileExists = CountsAsThere(lookUp(places.userFile));
    return places;
}

const char* SettingsFileToRead(const SettingsPlaces& places) {
    return places.userFileExists ? places.userFile : kSettingsFileName;
}

bool SaveSettingsTo(const SettingsPlaces& places, const SaverSettings& settings,
                    const SaveOperations& operations, SaveFailure* failure) {
    SaveFailure unused;
    SaveFailure* why = failure != nullptr ? failure : &unused;
    if (operations.writeFile(SettingsFileToRead(places), settings, why)) {
        return true;
    }
    // Only a lasting refusal moves this user's settings for good. A full disk or a file another
    // program holds open passes, and a copy made then would hide the shared file ever after.
    bool refused = !places.userFileExists && why->systemError == int(kAccessDeniedCode);
    if (!refused || places.userFile[0] == '\0') {
        return false;
    }
    operations.makeFolder(places.userFolder);
    *why = SaveFailure();
    return operations.writeFile(places.userFile, settings, why);
}
