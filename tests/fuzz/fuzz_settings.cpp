// Fuzz target: any bytes as the settings file. The read must end, and a file the writer made
// from what was read must read back to the same values.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "saver/settings.h"

namespace {

const std::string& ScratchPath() {
    static const std::string path = [] {
        char pattern[] = "/tmp/quillet-fuzz-XXXXXX";
        const char* dir = mkdtemp(pattern);
        return std::string(dir ? dir : "/tmp") + "/quilet01.ini";
    }();
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* path = ScratchPath().c_str();
    FILE* file = std::fopen(path, "wb");
    if (file == nullptr) {
        return 0;
    }
    std::fwrite(data, 1, size, file);
    std::fclose(file);

    SaverSettings read;
    ReadSettingsFile(path, read);

    WriteSettingsFile(path, read);
    SaverSettings again = {0, 0};
    ReadSettingsFile(path, again);
    if (again.delay != read.delay || again.birdCount != read.birdCount) {
        std::abort();
    }
    return 0;
}
