// The settings file's calls on Windows: KERNEL32's file functions, which every version from
// the first Windows 95 has, so no C runtime library stands between the saver and the disk.
#include <windows.h>

#include "saver/settings_disk.h"

namespace {

HANDLE AsHandle(DiskFile file) {
    return reinterpret_cast<HANDLE>(file.handle);
}

uint32_t LastError() {
    return static_cast<uint32_t>(GetLastError());
}

// The access and sharing the C library's "rb" and "r+b" asked for: others may go on reading
// and writing the file while it is open here.
constexpr DWORD kShared = FILE_SHARE_READ | FILE_SHARE_WRITE;

uint32_t Open(const char* path, DWORD access, DWORD disposition, DiskFile* file) {
    HANDLE handle =
        CreateFileA(path, access, kShared, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return LastError();
    }
    file->handle = reinterpret_cast<intptr_t>(handle);
    return 0;
}

}  // namespace

uint32_t OpenToRead(const char* path, DiskFile* file) {
    return Open(path, GENERIC_READ, OPEN_EXISTING, file);
}

uint32_t OpenToWrite(const char* path, bool create, DiskFile* file) {
    return Open(path, GENERIC_READ | GENERIC_WRITE, create ? CREATE_NEW : OPEN_EXISTING, file);
}

uint32_t ReadFrom(DiskFile file, char* buffer, uint32_t size, uint32_t* got) {
    DWORD read = 0;
    BOOL done = ReadFile(AsHandle(file), buffer, size, &read, nullptr);
    *got = done ? read : 0;
    return done ? 0 : LastError();
}

uint32_t WriteTo(DiskFile file, const char* bytes, uint32_t size) {
    DWORD written = 0;
    if (!WriteFile(AsHandle(file), bytes, size, &written, nullptr)) {
        return LastError();
    }
    return written == size ? 0 : kDiskFull;
}

uint32_t MoveTo(DiskFile file, uint32_t offset) {
    SetLastError(0);
    DWORD at = SetFilePointer(AsHandle(file), static_cast<LONG>(offset), nullptr, FILE_BEGIN);
    return at == INVALID_SET_FILE_POINTER ? LastError() : 0;
}

// The settings file is never near 4 GB, so the low half of the length is all of it; a
// length that fills the low half answers like a failed call, with the system's code (0 then).
uint32_t MeasureLength(DiskFile file, uint32_t* length) {
    SetLastError(0);
    DWORD at = SetFilePointer(AsHandle(file), 0, nullptr, FILE_END);
    *length = at;
    return at == INVALID_SET_FILE_POINTER ? LastError() : 0;
}

uint32_t EndHere(DiskFile file) {
    return SetEndOfFile(AsHandle(file)) ? 0 : LastError();
}

void CloseDiskFile(DiskFile file) {
    CloseHandle(AsHandle(file));
}

uint32_t DeleteDiskFile(const char* path) {
    return DeleteFileA(path) ? 0 : LastError();
}

uint32_t LookUpFile(const char* path) {
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES ? 0 : LastError();
}
