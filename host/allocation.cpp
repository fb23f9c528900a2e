// The program's own allocation operators over the process heap, which every Windows version
// has, so no C runtime library is needed. The C++ library's versions report failure by
// throwing, which drags the whole exception and name-demangling machinery into a program built
// without exceptions and more than doubles the .scr's size.
#include <windows.h>

#include <new>

namespace {

// An allocation that must not return null (the containers' storage) fails like any other
// fault: the run mode's guard handles it and the process ends with STATUS_NO_MEMORY.
[[noreturn]] void FailAllocation() {
    RaiseException(STATUS_NO_MEMORY, EXCEPTION_NONCONTINUABLE, 0, nullptr);
    ExitProcess(STATUS_NO_MEMORY);  // not reached: the exception cannot be continued
}

// Every request gets a block of its own, even one of no bytes.
void* Allocate(std::size_t size) {
    return HeapAlloc(GetProcessHeap(), 0, size ? size : 1);
}

void Release(void* block) {
    if (block != nullptr) {
        HeapFree(GetProcessHeap(), 0, block);
    }
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
    Release(block);
}

void operator delete[](void* block) noexcept {
    Release(block);
}

void operator delete(void* block, std::size_t) noexcept {
    Release(block);
}

void operator delete[](void* block, std::size_t) noexcept {
    Release(block);
}

// The library's marker object for the allocations that answer null instead of failing: empty,
// so nothing needs to construct it.
const std::nothrow_t std::nothrow{};

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
