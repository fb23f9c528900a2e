// Loading the system's own libraries at run time. Only the few libraries Windows always takes
// from its system folder are safe to ask for by bare name: any other is looked for first in
// the folder of the .scr and in the current folder, where anyone could leave a file of that
// name to run inside the saver (a downloaded .scr opened from a downloads folder, say).
#include <windows.h>

#include "host/host.h"

HMODULE LoadSystemLibrary(const char* name) {
    char path[MAX_PATH];
    UINT length = GetSystemDirectoryA(path, sizeof(path));
    UINT nameLength = static_cast<UINT>(lstrlenA(name));
    if (length == 0 || length + 1 + nameLength + 1 > sizeof(path)) {
        return nullptr;
    }
    path[length] = '\\';
    lstrcpynA(path + length + 1, name, static_cast<int>(nameLength + 1));
    return LoadLibraryA(path);
}
