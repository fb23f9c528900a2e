// Line reading, number reading and the in-place rewrite of the settings file, over the disk's
// calls. The rules are the ones the saver has always had on Windows, where it went through the
// C library's stdio and scanf: kept byte for byte, now without that library.
#include "saver/settings_file.h"

#include "saver/settings_disk.h"

namespace {

constexpr int kEndOfFileByte = 0x1A;
constexpr int kNoByte = -1;

// The file's bytes one at a time, read a block at a time; a read error ends the bytes as the
// end of the file does.
class ByteSource {
   public:
    explicit ByteSource(DiskFile file) : file_(file) {}
    int Next() {
        if (pushedBack_ != kNoByte) {
            int c = pushedBack_;
            pushedBack_ = kNoByte;
            return c;
        }
        if (next_ == filled_) {
            if (ReadFrom(file_, block_, sizeof(block_), &filled_) != 0 || filled_ == 0) {
                filled_ = next_ = 0;
                return kNoByte;
            }
            next_ = 0;
        }
        return static_cast<unsigned char>(block_[next_++]);
    }
    void PushBack(int c) { pushedBack_ = c; }

   private:
    DiskFile file_;
    char block_[512];
    uint32_t next_ = 0;
    uint32_t filled_ = 0;
    int pushedBack_ = kNoByte;
};

// Reads one line into buffer. Returns false once the end of the file (or a 0x1A byte, or a
// read error) has been met. A line longer than 63 characters keeps its first 63; the rest up
// to its line end is dropped, so the next call starts on the next line.
bool ReadLine(ByteSource& bytes, char (&buffer)[kLineBufferSize]) {
    int stored = 0;
    bool more = true;
    for (;;) {
        int c = bytes.Next();
        if (c == kNoByte || c == kEndOfFileByte) {
            more = false;
            break;
        }
        if (c == '\n') {
            break;
        }
        if (c == '\r') {
            int after = bytes.Next();
            if (after == '\n') {
                break;  // CR LF reads as one line end
            }
            if (after != kNoByte) {
                bytes.PushBack(after);  // a lone CR is an ordinary character
            }
        }
        if (stored < kLineBufferSize - 1) {
            buffer[stored++] = static_cast<char>(c);
        }
    }
    buffer[stored] = '\0';
    return more;
}

// The C library's blanks in its "C" locale: space, tab, line feed, vertical tab, form feed and
// carriage return. No byte above 127 counts, whatever the code page.
bool IsBlank(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

const char* SkipBlanks(const char* text) {
    while (IsBlank(*text)) {
        text++;
    }
    return text;
}

// At most one sign, then at least one digit; the digits are taken modulo 2^32, as the C
// library's scanf did, so a number too large for 32 bits wraps rather than stopping at a limit.
bool ReadNumber(const char* text, int32_t* value) {
    bool negative = *text == '-';
    if (*text == '-' || *text == '+') {
        text++;
    }
    if (*text < '0' || *text > '9') {
        return false;
    }
    uint32_t number = 0;
    for (; *text >= '0' && *text <= '9'; text++) {
        number = number * 10u + static_cast<uint32_t>(*text - '0');
    }
    if (negative) {
        number = 0u - number;
    }
    *value = static_cast<int32_t>(number);
    return true;
}

// Writes all of length bytes from the start of the file, then ends the file after them.
uint32_t WriteFromStart(DiskFile file, const char* bytes, uint32_t length) {
    uint32_t error = MoveTo(file, 0);
    if (error == 0) {
        error = WriteTo(file, bytes, length);
    }
    return error != 0 ? error : EndHere(file);
}

// Reads up to size bytes from the start of the file; fewer where the file is shorter.
uint32_t ReadFromStart(DiskFile file, char* buffer, uint32_t size, uint32_t* got) {
    *got = 0;
    uint32_t error = MoveTo(file, 0);
    while (error == 0 && *got < size) {
        uint32_t more = 0;
        error = ReadFrom(file, buffer + *got, size - *got, &more);
        if (more == 0) {
            break;
        }
        *got += more;
    }
    return error;
}

constexpr uint32_t kInvalidParameter = 87;  // ERROR_INVALID_PARAMETER

// Writes text over the start of the open file and cuts the file after it. Should that fail
// part-way, the bytes it covered and the old length are put back, so the file holds what it
// held before.
uint32_t Replace(DiskFile file, const char* text, uint32_t length) {
    char old[kLongestFileText];
    uint32_t oldLength = 0;
    uint32_t oldSize = 0;
    uint32_t error = ReadFromStart(file, old, length, &oldLength);
    if (error == 0) {
        error = MeasureLength(file, &oldSize);
    }
    if (error != 0) {
        return error;
    }
    error = WriteFromStart(file, text, length);
    if (error != 0) {
        WriteFromStart(file, old, oldLength);
        if (MoveTo(file, oldSize) == 0) {
            EndHere(file);
        }
    }
    return error;
}

}  // namespace

bool ReadLines(const char* path, TakeLine take, void* context) {
    DiskFile file;
    if (OpenToRead(path, &file) != 0) {
        return false;
    }
    ByteSource bytes(file);
    char line[kLineBufferSize];
    bool more = true;
    while (more) {
        more = ReadLine(bytes, line);
        take(line, context);
    }
    CloseDiskFile(file);
    return true;
}

bool MatchSetting(const char* line, const char* name, int32_t* value) {
    for (; *name != '\0'; name++, line++) {
        if (*line != *name) {
            return false;
        }
    }
    line = SkipBlanks(line);
    if (*line != '=') {
        return false;
    }
    return ReadNumber(SkipBlanks(line + 1), value);
}

// The file is changed in place, not swapped for a new one: Windows 95 cannot rename over an
// existing file, and a folder that lets the file be rewritten may not let a second file be
// made beside it.
uint32_t ReplaceFileContent(const char* path, const char* text, uint32_t length) {
    if (length > kLongestFileText) {
        return kInvalidParameter;  // its old bytes could not be kept to put back
    }
    DiskFile file;
    bool created = false;
    uint32_t error = OpenToWrite(path, false, &file);
    if (error == kFileNotFound) {
        created = true;
        error = OpenToWrite(path, true, &file);
    }
    if (error != 0) {
        return error;
    }
    error = Replace(file, text, length);
    // Everything went out through the system's own calls; there is nothing a close could undo.
    CloseDiskFile(file);
    if (error != 0 && created) {
        DeleteDiskFile(path);
    }
    return error;
}

uint32_t PutSettingLine(char* text, const char* key, int32_t value) {
    uint32_t length = 0;
    for (; *key != '\0'; key++) {
        text[length++] = *key;
    }
    for (const char* c = " = "; *c != '\0'; c++) {
        text[length++] = *c;
    }
    // The digits of the magnitude, which for the most negative value only an unsigned number
    // holds, come out last first.
    uint32_t magnitude = static_cast<uint32_t>(value);
    if (value < 0) {
        text[length++] = '-';
        magnitude = 0u - magnitude;
    }
    char digits[10];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + magnitude % 10u);
        magnitude /= 10u;
    } while (magnitude != 0);
    while (count > 0) {
        text[length++] = digits[--count];
    }
    text[length++] = '\r';
    text[length++] = '\n';
    return length;
}

bool CountsAsThere(uint32_t lookUpAnswer) {
    return lookUpAnswer == 0 || lookUpAnswer == kAccessDeniedCode ||
           lookUpAnswer == kSharingViolation;
}
