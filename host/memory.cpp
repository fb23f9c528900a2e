// The block copies and fills the compiler emits calls to (struct copies, the containers'
// moves, the C++ library's string lengths), so that no C runtime library is needed for them. This
// file is built with the compiler's own idea of these functions switched off, or it would turn the
// loops below back into calls to themselves.
#include <cstddef>
#include <cstdint>

namespace {

// A machine word that may stand for bytes of any type.
using Word = size_t __attribute__((may_alias));

}  // namespace

extern "C" {

// The compositor copies rows of pixels with this on every step: whole words where both blocks
// start on a word, then the bytes left over.
void* memcpy(void* to, const void* from, size_t size) {
    unsigned char* out = static_cast<unsigned char*>(to);
    const unsigned char* in = static_cast<const unsigned char*>(from);
    size_t done = 0;
    if (((reinterpret_cast<uintptr_t>(out) | reinterpret_cast<uintptr_t>(in)) % sizeof(Word)) ==
        0) {
        Word* outWords = reinterpret_cast<Word*>(out);
        const Word* inWords = reinterpret_cast<const Word*>(in);
        for (size_t i = 0; i < size / sizeof(Word); i++) {
            outWords[i] = inWords[i];
        }
        done = size - size % sizeof(Word);
    }
    for (size_t i = done; i < size; i++) {
        out[i] = in[i];
    }
    return to;
}

// The two blocks may overlap: a move to a higher address copies from the end, so that every
// byte is read before it is overwritten.
void* memmove(void* to, const void* from, size_t size) {
    unsigned char* out = static_cast<unsigned char*>(to);
    const unsigned char* in = static_cast<const unsigned char*>(from);
    if (out < in) {
        for (size_t i = 0; i < size; i++) {
            out[i] = in[i];
        }
    } else if (out > in) {
        for (size_t i = size; i > 0; i--) {
            out[i - 1] = in[i - 1];
        }
    }
    return to;
}

void* memset(void* to, int value, size_t size) {
    unsigned char* out = static_cast<unsigned char*>(to);
    for (size_t i = 0; i < size; i++) {
        out[i] = static_cast<unsigned char>(value);
    }
    return to;
}

size_t strlen(const char* text) {
    size_t length = 0;
    while (text[length] != '\0') {
        length++;
    }
    return length;
}

}  // extern "C"
