// Reader and writer of the settings file. The file is opened in binary mode and the line
// rules are applied here, so the same bytes read the same way on Windows and in native tests.
#include "saver/settings.h"

#include <cstdio>

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

void WriteSettingsFile(const char* path, int32_t delay, int32_t birdCount) {
    FILE* file = std::fopen(path, "wb");
    if (file == nullptr) {
        return;
    }
    // Each line is flushed on its own; once one fails, nothing more is written.
    if (std::fprintf(file, "Delay = %d\r\n", static_cast<int>(delay)) > 0 &&
        std::fflush(file) == 0) {
        if (std::fprintf(file, "CharNumber = %d\r\n", static_cast<int>(birdCount)) > 0) {
            std::fflush(file);
        }
    }
    std::fclose(file);
}

void LoadSettings(BirdSaver& saver) {
    ReadSettingsFile(kSettingsFileName, saver.delay, saver.birdCount);
}

void SaveSettings(const BirdSaver& saver) {
    WriteSettingsFile(kSettingsFileName, saver.delay, saver.birdCount);
}
