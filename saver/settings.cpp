// Reader and writer of the settings file, and the choice between the current folder's file and
// the user's own copy. The file is opened in binary mode and the line rules are applied here,
// so the same bytes read the same way on Windows and in native tests.
#include "saver/settings.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

constexpr int kLineBufferSize = 64;  // 63 characters and the terminating NUL
constexpr int kEndOfFileByte = 0x1A;

// Reads one line into buffer. Returns false once the end of the file (or a 0x1A byte, or a
// read error) has been met. A line longer than 63 characters keeps its first 63; the rest up
// to its line end is dropped, so the next call starts on the next line.
bool ReadLine(FILE* file, char (&buffer)[kLineBufferSize]) {
    int stored = 0;
    bool more = true;
    for (;;) {
        int c = std::getc(file);
        if (c == EOF || c == kEndOfFileByte) {
            more = false;
            break;
        }
        if (c == '\n') {
            break;
        }
        if (c == '\r') {
            int after = std::getc(file);
            if (after == '\n') {
                break;  // CR LF reads as one line end
            }
            if (after != EOF) {
                std::ungetc(after, file);  // a lone CR is an ordinary character
            }
        }
        if (stored < kLineBufferSize - 1) {
            buffer[stored++] = static_cast<char>(c);
        }
    }
    buffer[stored] = '\0';
    return more;
}

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

// The key stands at the very start of the line, in the same case; each blank of " = %d"
// matches any run of white space, none included, and whatever follows the number is ignored.
// FIXME: digits beyond the signed 32-bit range give whatever the C runtime's sscanf makes of
// them, which the C standard leaves undefined; such a value should be read by hand.
void MatchLine(const char* line, SaverSettings& settings) {
    for (const SettingRow& row : kSettingRows) {
        size_t length = std::strlen(row.key);
        int value = 0;
        if (std::strncmp(line, row.key, length) == 0 &&
            std::sscanf(line + length, " = %d", &value) == 1) {
            settings.*row.field = value;
            return;
        }
    }
}

void ClearErrors() {
    errno = 0;
#ifdef _WIN32
    _doserrno = 0;
#endif
}

void NoteFailure(SaveFailure* failure) {
    if (failure == nullptr) {
        return;
    }
    failure->runtimeError = errno;
    // The C library on Windows keeps the system's code beside the errno it derived from it;
    // elsewhere errno is the system's code.
#ifdef _WIN32
    failure->systemError = static_cast<int>(_doserrno);
#else
    failure->systemError = errno;
#endif
}

// Named before the write starts, so that every way a write can fail reports which file it was.
void NameFile(SaveFailure* failure, const char* path) {
    size_t length = std::strlen(path);
    if (failure != nullptr && length < sizeof(failure->file)) {
        std::memcpy(failure->file, path, length + 1);
    }
}

// Sets the file's length; nothing may wait in the stream's buffer.
bool CutFile(FILE* file, long length) {
#ifdef _WIN32
    return _chsize(_fileno(file), length) == 0;
#else
    return ftruncate(fileno(file), length) == 0;
#endif
}

// Writes text over the start of the open file and cuts the file after it. Should that fail
// part-way, the bytes it covered and the old length are put back, so the file holds what it
// held before. The stream must be unbuffered, so nothing that failed is left to go out later.
bool ReplaceContent(FILE* file, const char* text, size_t length, SaveFailure* failure) {
    char old[kWrittenSize];
    size_t oldLength = std::fread(old, 1, length, file);
    long oldSize = -1;
    if (!std::ferror(file) && std::fseek(file, 0, SEEK_END) == 0) {
        oldSize = std::ftell(file);
    }
    if (oldSize < 0 || std::fseek(file, 0, SEEK_SET) != 0) {
        NoteFailure(failure);
        return false;
    }
    if (std::fwrite(text, 1, length, file) == length && CutFile(file, static_cast<long>(length))) {
        return true;
    }
    NoteFailure(failure);  // before putting the old bytes back sets the codes again
    std::clearerr(file);
    if (std::fseek(file, 0, SEEK_SET) == 0) {
        std::fwrite(old, 1, oldLength, file);
    }
    CutFile(file, oldSize);
    return false;
}

}  // namespace

void ReadSettingsFile(const char* path, SaverSettings& settings) {
    FILE* file = std::fopen(path, "rb");
    if (file == nullptr) {
        return;
    }
    char line[kLineBufferSize];
    bool more = true;
    while (more) {
        more = ReadLine(file, line);
        MatchLine(line, settings);
    }
    std::fclose(file);
}

// The file is changed in place, not swapped for a new one: Windows 95 cannot rename over an
// existing file, and a folder that lets the file be rewritten may not let a second file be
// made beside it.
bool WriteSettingsFile(const char* path, const SaverSettings& settings, SaveFailure* failure) {
    char text[kWrittenSize];
    int length = 0;
    for (const SettingRow& row : kSettingRows) {
        length += std::sprintf(text + length, "%s = %d\r\n", row.key,
                               static_cast<int>(settings.*row.field));
    }
    ClearErrors();
    FILE* file = std::fopen(path, "r+b");
    bool created = false;
    if (file == nullptr && errno == ENOENT) {
        file = std::fopen(path, "w+b");
        created = true;
    }
    NameFile(failure, path);
    if (file == nullptr) {
        NoteFailure(failure);
        return false;
    }
    bool saved = false;
    if (std::setvbuf(file, nullptr, _IONBF, 0) != 0) {
        NoteFailure(failure);
    } else {
        saved = ReplaceContent(file, text, static_cast<size_t>(length), failure);
    }
    // Everything went out before, unbuffered; there is nothing a failing close could undo.
    std::fclose(file);
    if (!saved && created) {
        std::remove(path);
    }
    return saved;
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
    size_t more = std::strlen(text);
    if (length + more >= sizeof(path)) {
        return false;
    }
    std::memcpy(path + length, text, more + 1);
    length += more;
    return true;
}

// A file the system knows of, even one this user may not open, counts as there.
bool FileExists(const char* path) {
    ClearErrors();
    FILE* file = std::fopen(path, "rb");
    if (file != nullptr) {
        std::fclose(file);
        return true;
    }
    return errno != ENOENT && errno != ENOTDIR;
}

}  // namespace

SettingsPlaces FindSettingsPlaces(const char* appData) {
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
    std::memcpy(places.userFile, places.userFolder, length + 1);
    fits = fits && Append(places.userFile, length, separator) &&
           Append(places.userFile, length, kSettingsFileName);
    if (!fits) {
        return SettingsPlaces();
    }
    places.userFileExists = FileExists(places.userFile);
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
    bool refused = !places.userFileExists && why->systemError == kAccessDenied;
    if (!refused || places.userFile[0] == '\0') {
        return false;
    }
    operations.makeFolder(places.userFolder);
    *why = SaveFailure();
    return operations.writeFile(places.userFile, settings, why);
}
