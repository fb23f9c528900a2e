// A console tool the Wine tests use to look at a running saver from outside its process
// (memory, GDI and USER objects, CPU time), to start a program whose command line is too long
// for win_probe's hex form or whose program name must be given apart from an unclosed quote.
//
//   proc_probe sample PID            one line: gdi N user N private N pagefile N workingset N
//                                    cpu_ms N
//   proc_probe launch APP FILE       runs APP with FILE's bytes as its command line, waits,
//                                    prints "exit N" (signed)
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// The fields of PROCESS_MEMORY_COUNTERS_EX that the soak test reads; declared here because the
// function is looked up at run time rather than linked from psapi.
struct MemoryCounters {
    DWORD cb;
    DWORD pageFaultCount;
    SIZE_T peakWorkingSetSize;
    SIZE_T workingSetSize;
    SIZE_T quotaPeakPagedPoolUsage;
    SIZE_T quotaPagedPoolUsage;
    SIZE_T quotaPeakNonPagedPoolUsage;
    SIZE_T quotaNonPagedPoolUsage;
    SIZE_T pagefileUsage;
    SIZE_T peakPagefileUsage;
    SIZE_T privateUsage;
};

using MemoryInfoFn = BOOL(WINAPI*)(HANDLE process, MemoryCounters* counters, DWORD size);

// Newer systems export the function from kernel32 as well; older ones only from psapi.
MemoryInfoFn FindMemoryInfo() {
    FARPROC found = GetProcAddress(GetModuleHandleA("kernel32.dll"), "K32GetProcessMemoryInfo");
    if (!found) {
        HMODULE psapi = LoadLibraryA("psapi.dll");
        found = psapi ? GetProcAddress(psapi, "GetProcessMemoryInfo") : nullptr;
    }
    return reinterpret_cast<MemoryInfoFn>(reinterpret_cast<void*>(found));
}

unsigned long long Milliseconds(const FILETIME& time) {
    ULARGE_INTEGER value;
    value.LowPart = time.dwLowDateTime;
    value.HighPart = time.dwHighDateTime;
    return value.QuadPart / 10000;
}

int Sample(const char* pidText) {
    DWORD pid = strtoul(pidText, nullptr, 10);
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
    if (!process) {
        printf("error %lu\n", GetLastError());
        return 1;
    }
    MemoryCounters counters = {};
    counters.cb = sizeof(counters);
    MemoryInfoFn memoryInfo = FindMemoryInfo();
    if (!memoryInfo || !memoryInfo(process, &counters, sizeof(counters))) {
        printf("error memory %lu\n", GetLastError());
        CloseHandle(process);
        return 1;
    }
    FILETIME created, exited, kernel, user;
    unsigned long long cpu = 0;
    if (GetProcessTimes(process, &created, &exited, &kernel, &user)) {
        cpu = Milliseconds(kernel) + Milliseconds(user);
    }
    printf("gdi %lu user %lu private %llu pagefile %llu workingset %llu cpu_ms %llu\n",
           GetGuiResources(process, GR_GDIOBJECTS), GetGuiResources(process, GR_USEROBJECTS),
           static_cast<unsigned long long>(counters.privateUsage),
           static_cast<unsigned long long>(counters.pagefileUsage),
           static_cast<unsigned long long>(counters.workingSetSize), cpu);
    CloseHandle(process);
    return 0;
}

bool ReadWholeFile(const char* path, std::string* out) {
    FILE* file = fopen(path, "rb");
    if (!file) {
        return false;
    }
    char chunk[4096];
    size_t got;
    while ((got = fread(chunk, 1, sizeof(chunk), file)) > 0) {
        out->append(chunk, got);
    }
    fclose(file);
    return true;
}

int Launch(const char* application, const char* path) {
    std::string commandLine;
    if (!ReadWholeFile(path, &commandLine)) {
        fprintf(stderr, "proc_probe: cannot read %s\n", path);
        return 2;
    }
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(application, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        printf("error %lu\n", GetLastError());
        return 3;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    printf("exit %ld\n", static_cast<long>(static_cast<int32_t>(code)));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && !strcmp(argv[1], "sample")) {
        return Sample(argv[2]);
    }
    if (argc == 4 && !strcmp(argv[1], "launch")) {
        return Launch(argv[2], argv[3]);
    }
    fprintf(stderr, "usage: proc_probe sample PID | launch APP FILE\n");
    return 2;
}
