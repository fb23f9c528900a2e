// Reader and writer of the settings file. The file is opened in binary mode and the line
// rules are applied here, so the same bytes read the same way on Windows and in native tests.
#include "saver/settings.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "saver/bird_saver.h"

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

void MatchLine(const char* line, int32_t& delay, int32_t& birdCount) {
    int value = 0;
    if (std::sscanf(line, "Delay = %d", &value) == 1) {
        delay = value;
    } else if (std::sscanf(line, "CharNumber = %d", &value) == 1) {
        birdCount = value;
    }
}

// Two lines of at most 21 and 26 characters.
constexpr size_t kWrittenSize = 64;

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

void ReadSettingsFile(const char* path, int32_t& delay, int32_t& birdCount) {
    FILE* file = std::fopen(path, "rb");
    if (file == nullptr) {
        return;
    }
    char line[kLineBufferSize];
    bool more = true;
    while (more) {
        more = ReadLine(file, line);
        MatchLine(line, delay, birdCount);
    }
    std::fclose(file);
}

// The file is changed in place, not swapped for a new one: Windows 95 cannot rename over an
// existing file, and a folder that lets the file be rewritten may not let a second file be
// made beside it.
bool WriteSettingsFile(const char* path, int32_t delay, int32_t birdCount, SaveFailure* failure) {
    char text[kWrittenSize];
    int length = std::sprintf(text, "Delay = %d\r\nCharNumber = %d\r\n", static_cast<int>(delay),
                              static_cast<int>(birdCount));
    ClearErrors();
    FILE* file = std::fopen(path, "r+b");
    bool created = false;
    if (file == nullptr && errno == ENOENT) {
        file = std::fopen(path, "w+b");
        created = true;
    }
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

void LoadSettings(BirdSaver& saver) {
    ReadSettingsFile(kSettingsFileName, saver.delay, saver.birdCount);
}

bool SaveSettings(const BirdSaver& saver, SaveFailure* failure) {
    return WriteSettingsFile(kSettingsFileName, saver.delay, saver.birdCount, failure);
}
