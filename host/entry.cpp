// The program's entry point, where the system starts it: there is no C runtime library to
// start first. The name is the one the linker takes as a windowed program's entry. It stands in
// a file of its own because the test programs that link the saver's code bring the C runtime's
// entry of the same name.
#include "host/host.h"

// The stack is aligned here, since the 32-bit system promises only 4 bytes.
extern "C" __attribute__((force_align_arg_pointer)) void WinMainCRTStartup() {
    HostStartup();
}
