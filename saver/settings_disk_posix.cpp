// The settings file's calls in the native build of the tests: POSIX calls, their errno turned
// into the code Windows gives for the same failure, so the rules above them see one numbering.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "saver/settings_disk.h"

namespace {

constexpr uint32_t kGeneralFailure = 31;  // ERROR_GEN_FAILURE, for anything else

uint32_t LastError() {
    switch (errno) {
        case ENOENT:
            return kFileNotFound;
        case ENOTDIR:
            return kPathNotFound;
        case EACCES:
        case EPERM:
        case EISDIR:  // Windows refuses to open a folder as a file
            return kAccessDeniedCode;
        case ENOSPC:
        case EFBIG:
            return kDiskFull;
        case EEXIST:
            return 80;  // ERROR_FILE_EXISTS
        default:
            return kGeneralFailure;
    }
}

int Descriptor(DiskFile file) {
    return static_cast<int>(file.handle);
}

uint32_t Open(const char* path, int flags, DiskFile* file) {
    int descriptor = open(path, flags, 0644);
    if (descriptor < 0) {
        return LastError();
    }
    // Reading a folder fails only at the first read on POSIX, at the open on Windows.
    struct stat info;
    if (fstat(descriptor, &info) == 0 && S_ISDIR(info.st_mode)) {
        close(descriptor);
        return kAccessDeniedCode;
    }
    file->handle = descriptor;
    return 0;
}

}  // namespace

uint32_t OpenToRead(const char* path, DiskFile* file) {
    return Open(path, O_RDONLY, file);
}

uint32_t OpenToWrite(const char* path, bool create, DiskFile* file) {
    return Open(path, create ? O_RDWR | O_CREAT | O_EXCL : O_RDWR, file);
}

uint32_t ReadFrom(DiskFile file, char* buffer, uint32_t size, uint32_t* got) {
    ssize_t read = ::read(Descriptor(file), buffer, size);
    *got = read > 0 ? static_cast<uint32_t>(read) : 0;
    return read < 0 ? LastError() : 0;
}

uint32_t WriteTo(DiskFile file, const char* bytes, uint32_t size) {
    ssize_t written = write(Descriptor(file), bytes, size);
    if (written < 0) {
        return LastError();
    }
    return static_cast<uint32_t>(written) == size ? 0 : kDiskFull;
}

uint32_t MoveTo(DiskFile file, uint32_t offset) {
    return lseek(Descriptor(file), offset, SEEK_SET) < 0 ? LastError() : 0;
}

uint32_t MeasureLength(DiskFile file, uint32_t* length) {
    off_t end = lseek(Descriptor(file), 0, SEEK_END);
    *length = end < 0 ? 0 : static_cast<uint32_t>(end);
    return end < 0 ? LastError() : 0;
}

uint32_t EndHere(DiskFile file) {
    off_t at = lseek(Descriptor(file), 0, SEEK_CUR);
    return at < 0 || ftruncate(Descriptor(file), at) != 0 ? LastError() : 0;
}

void CloseDiskFile(DiskFile file) {
    close(Descriptor(file));
}

uint32_t DeleteDiskFile(const char* path) {
    return unlink(path) == 0 ? 0 : LastError();
}

uint32_t LookUpFile(const char* path) {
    struct stat info;
    return stat(path, &info) == 0 ? 0 : LastError();
}
