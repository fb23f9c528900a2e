// The file calls the settings file needs, answered in the system's terms: each returns 0 or the
// system's error code (Windows' numbering on every build). The Windows build makes them with
// KERNEL32's file functions; the native build of the tests with POSIX calls, so the reader and
// writer above them run unchanged in both.
#pragma once

#include <cstdint>

// The system's codes the settings rules look at.
constexpr uint32_t kFileNotFound = 2;       // ERROR_FILE_NOT_FOUND
constexpr uint32_t kPathNotFound = 3;       // ERROR_PATH_NOT_FOUND
constexpr uint32_t kAccessDeniedCode = 5;   // ERROR_ACCESS_DENIED
constexpr uint32_t kSharingViolation = 32;  // ERROR_SHARING_VIOLATION
constexpr uint32_t kDiskFull = 112;         // ERROR_DISK_FULL
constexpr uint32_t kBadNetworkPath = 53;    // ERROR_BAD_NETPATH

// An open file; the value means nothing outside the functions below.
struct DiskFile {
    intptr_t handle = -1;
};

// Opens an existing file for reading, others may read and write it meanwhile.
uint32_t OpenToRead(const char* path, DiskFile* file);
// Opens an existing file for reading and writing, or, with create, makes a new one that must
// not exist yet.
uint32_t OpenToWrite(const char* path, bool create, DiskFile* file);
// Reads up to size bytes at the file's position; *got 0 at the end of the file.
uint32_t ReadFrom(DiskFile file, char* buffer, uint32_t size, uint32_t* got);
// Writes all of size bytes at the file's position; a write the disk cuts short is kDiskFull.
uint32_t WriteTo(DiskFile file, const char* bytes, uint32_t size);
// Moves the position to offset bytes from the start.
uint32_t MoveTo(DiskFile file, uint32_t offset);
// The file's length in bytes; the position moves to the end.
uint32_t MeasureLength(DiskFile file, uint32_t* length);
// Ends the file at the position.
uint32_t EndHere(DiskFile file);
void CloseDiskFile(DiskFile file);
uint32_t DeleteDiskFile(const char* path);
// 0 when the system finds the file or folder, or its answer when it does not.
uint32_t LookUpFile(const char* path);
