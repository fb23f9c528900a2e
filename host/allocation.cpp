// The program's own allocation operators over the C runtime's malloc and free. The library's
// versions report failure by throwing, which drags the whole C++ exception and name-demangling
// machinery into a program built without exceptions and more than doubles the .scr's size.
#include <windows.h>

#include <cstdlib>
#include <new>

namespace {

// An allocation that must not return null (the containers' storage) fails like any other
// fault: the run mode's guard handles it and the process ends with STATUS_NO_MEMORY.
[[noreturn]] void FailAllocation() {
    RaiseException(STATUS_NO_MEMORY, EXCEPTION_NONCONTINUABLE, 0, nullptr);
    std::abort();
}

void* Allocate(std::size_t size) {
    return std::malloc(size ? size : 1);
}

void* AllocateOrFail(std::size_t size) {
    void* block = Allocate(size);
    if (!block) {
        FailAllocation();
    }
    return block;
}

}  // namespace

void* operator new(std::size_t size) {
    return AllocateOrFail(size);
}

void* operator new[](std::size_t size) {
    return AllocateOrFail(size);
}

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return Allocate(size);
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return Allocate(size);
}

void operator delete(void* block) noexcept {
    std::free(block);
}

void operator delete[](void* block) noexcept {
    std::free(block);
}

void operator delete(void* block, std::size_t) noexcept {
    std::free(block);
}

void operator delete[](void* block, std::size_t) noexcept {
    std::free(block);
}

// The containers call these on a length or size they cannot hold. The flock is capped far
// below that, but the library's versions would link the exception machinery back in.
namespace std {

void __throw_length_error(const char*) {
    FailAllocation();
}

void __throw_bad_alloc() {
    FailAllocation();
}

void __throw_bad_array_new_length() {
    FailAllocation();
}

}  // namespace std
