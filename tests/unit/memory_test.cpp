// The Windows build's own memcpy, memmove, memset and strlen (host/memory.cpp), built here under
// other names: every length and alignment up to a few words, and moves that overlap either way,
// against a byte-by-byte model.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" {
void* QuilletMemcpy(void* to, const void* from, size_t size);
void* QuilletMemmove(void* to, const void* from, size_t size);
void* QuilletMemset(void* to, int value, size_t size);
size_t QuilletStrlen(const char* text);
}

namespace {

constexpr size_t kRoom = 64;

std::vector<uint8_t> Numbered() {
    std::vector<uint8_t> bytes(kRoom);
    for (size_t i = 0; i < kRoom; i++) {
        bytes[i] = static_cast<uint8_t>(i + 1);
    }
    return bytes;
}

TEST(Memory, CopiesAndFillsEveryLengthAndAlignment) {
    for (size_t from = 0; from < 9; from++) {
        for (size_t to = 0; to < 9; to++) {
            for (size_t size = 0; size + 9 < kRoom / 2; size++) {
                std::vector<uint8_t> source = Numbered();
                std::vector<uint8_t> copied(kRoom, 0);
                std::vector<uint8_t> model(kRoom, 0);
                EXPECT_EQ(QuilletMemcpy(&copied[to], &source[from], size), &copied[to]);
                for (size_t i = 0; i < size; i++) {
                    model[to + i] = source[from + i];
                }
                ASSERT_EQ(copied, model) << from << " to " << to << ", " << size;
                EXPECT_EQ(QuilletMemset(&copied[to], 0x1AB, size), &copied[to]);
                for (size_t i = 0; i < size; i++) {
                    model[to + i] = 0xAB;
                }
                ASSERT_EQ(copied, model) << "fill at " << to << ", " << size;
            }
        }
    }
}

TEST(Memory, MovesWithinOneBlockEitherWay) {
    for (size_t from = 0; from < 20; from++) {
        for (size_t to = 0; to < 20; to++) {
            for (size_t size = 0; size + 20 <= kRoom; size++) {
                std::vector<uint8_t> moved = Numbered();
                std::vector<uint8_t> model = moved;
                const std::vector<uint8_t> before = moved;
                EXPECT_EQ(QuilletMemmove(&moved[to], &moved[from], size), &moved[to]);
                for (size_t i = 0; i < size; i++) {
                    model[to + i] = before[from + i];
                }
                ASSERT_EQ(moved, model) << from << " to " << to << ", " << size;
            }
        }
    }
}

TEST(Memory, MeasuresText) {
    EXPECT_EQ(QuilletStrlen(""), 0u);
    EXPECT_EQ(QuilletStrlen("quilet01.ini"), 12u);
    EXPECT_EQ(QuilletStrlen("a\0b"), 1u);
}

}  // namespace
