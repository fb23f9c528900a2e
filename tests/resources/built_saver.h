// The fixture the resource tests share: one of the two built .scr files, read and parsed.
#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "tests/resources/pe_resources.h"

struct Executable {
    const char* file;
    bool is64;
};

// Names the file in test output instead of dumping the parameter's bytes.
inline void PrintTo(const Executable& e, std::ostream* os) {
    *os << e.file;
}

inline const Executable kExecutables[] = {{"quillet.scr", false}, {"quillet64.scr", true}};

inline std::string ExecutableName(const ::testing::TestParamInfo<Executable>& info) {
    return info.param.is64 ? "x86_64" : "i686";
}

class BuiltSaver : public ::testing::TestWithParam<Executable> {
   protected:
    // A missing file fails the test: the resources are part of the product.
    void SetUp() override {
        std::string path = std::string(QUILLET_DIST_DIR) + "/" + GetParam().file;
        ASSERT_TRUE(ReadFileBytes(path, &file_)) << "cannot read " << path;
        image_ = ReadPeResources(file_);
        ASSERT_TRUE(image_.ok) << path << ": " << image_.error;
    }

    const Bytes& Resource(uint16_t type, uint16_t number) {
        const PeResource* r = FindResourceByNumber(image_, type, number);
        EXPECT_NE(r, nullptr) << "type " << type << " number " << number;
        return r ? r->data : empty_;
    }
    const Bytes& Bitmap(const std::string& name) {
        const PeResource* r = FindResourceByText(image_, kRtBitmap, name);
        EXPECT_NE(r, nullptr) << name;
        return r ? r->data : empty_;
    }

    Bytes file_;
    PeImage image_;
    Bytes empty_;
};
