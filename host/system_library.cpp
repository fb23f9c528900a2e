// Loading the system's own libraries at run time. Only the few libraries Windows always takes
// from its system folder are safe to ask for by bare name: any other is looked for first in
// the folder of the .scr and in the current folder, where anyone could leave a file of that
// name to run inside the saver (a downloaded .scr opened from a downloads folder, say).
#include <windows.h>

#include <cstring>

#include "host/host.h"

HMODULE LoadSystemLibrary(const char* name) {
    char path[MAX_PATH];
    UINT length = GetSystemDirectoryA(path, sizeof(path));
    if (length == 0 || length + 1 + strlen(name) + 1 > sizeof(path)) {
        return nullptr;
    }
    path[length] = '\\';
    strcpy(path + length + 1, name);
    return LoadLibraryA(path);
}
