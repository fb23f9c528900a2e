// Reads what the system draws the desktop background from, where each version keeps it, and
// paints it. The functions the Windows 95 family or Windows NT 4 lack are looked up at run time.
#include "saver/wallpaper_gdi.h"

#include <windows.h>

#include <vector>

#include "saver/picture_decoders.h"
#include "saver/wallpaper_layout.h"

namespace {

template <typename Function>
Function Lookup(const char* module, const char* name) {
    HMODULE library = GetModuleHandleA(module);
    return library
               ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)))
               : nullptr;
}

// Settings and paths are read into buffers of this size; the system's own limit for a path.
using SettingText = char[MAX_PATH];

// One value of the user's desktop settings: the registry's, else WIN.INI's [Desktop] (where the
// Windows 95 family keeps the wallpaper's style).
void ReadDesktopSetting(const char* name, SettingText& value) {
    value[0] = '\0';
    HKEY key = nullptr;
    if (RegOpenKeyA(HKEY_CURRENT_USER, "Control Panel\\Desktop", &key) == ERROR_SUCCESS) {
        DWORD type = 0, size = sizeof(value) - 1;
        LONG read =
            RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
        RegCloseKey(key);
        if (read == ERROR_SUCCESS && type == REG_SZ) {
            value[size < sizeof(value) ? size : sizeof(value) - 1] = '\0';
            return;
        }
    }
    GetProfileStringA("Desktop", name, "", value, sizeof(value));
}

// Windows 2000 and later answer the system parameter; earlier versions keep it in WIN.INI.
void ReadWallpaperSetting(SettingText& path) {
    path[0] = '\0';
    if (SystemParametersInfoA(SPI_GETDESKWALLPAPER, sizeof(path), path, 0)) {
        path[sizeof(path) - 1] = '\0';
        return;
    }
    GetProfileStringA("Desktop", "Wallpaper", "", path, sizeof(path));
}

// The first wallpaper file that opens, with its first bytes; a missing or unreadable file
// gives way to the system's own copy of the picture.
bool OpenWallpaper(SettingText& path, PictureFormat& format) {
    SettingText named, appData;
    ReadWallpaperSetting(named);
    DWORD length = GetEnvironmentVariableA("APPDATA", appData, sizeof(appData));
    if (length == 0 || length >= sizeof(appData)) {
        appData[0] = '\0';
    }
    for (int32_t i = 0; WallpaperCandidate(i, named, appData, path, sizeof(path)); i++) {
        HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            continue;
        }
        uint8_t head[8] = {};
        DWORD read = 0;
        BOOL readOk = ReadFile(file, head, sizeof(head), &read, nullptr);
        CloseHandle(file);
        if (readOk) {
            format = DetectPictureFormat(head, read);
            return true;
        }
    }
    return false;
}

using MonitorEnumProcFn = BOOL(CALLBACK*)(HMONITOR, HDC, LPRECT, LPARAM);
using EnumDisplayMonitorsFn = BOOL(WINAPI*)(HDC, LPCRECT, MonitorEnumProcFn, LPARAM);

struct MonitorList {
    HostPoint windowCorner;
    std::vector<PixelRect> rects;
};

BOOL CALLBACK AddMonitor(HMONITOR, HDC, LPRECT rect, LPARAM list) {
    MonitorList* monitors = reinterpret_cast<MonitorList*>(list);
    HostPoint corner = monitors->windowCorner;
    monitors->rects.push_back({rect->left - corner.x, rect->top - corner.y, rect->right - corner.x,
                               rect->bottom - corner.y});
    return TRUE;
}

// Every monitor in window coordinates; empty where the system cannot list them (the Windows
// 95 and NT 4 era) or has only one, and the whole window then counts as one monitor.
std::vector<PixelRect> MonitorRects(HostPoint windowCorner) {
    MonitorList monitors = {windowCorner, {}};
    auto enumerate = Lookup<EnumDisplayMonitorsFn>("USER32.DLL", "EnumDisplayMonitors");
    if (!enumerate || !enumerate(nullptr, nullptr, AddMonitor, LPARAM(&monitors)) ||
        monitors.rects.size() < 2) {
        monitors.rects.clear();
    }
    return monitors.rects;
}

// The largest scratch any placement needs, taken once, so that the picture is either drawn
// whole or not at all.
size_t ScratchPixels(const PixelImage& picture, const std::vector<WallpaperPlacement>& placed) {
    size_t most = 1;
    for (const WallpaperPlacement& placement : placed) {
        size_t need = PlacementScratchPixels(picture, placement);
        most = need > most ? need : most;
    }
    return most;
}

}  // namespace

using GetThreadDesktopFn = HDESK(WINAPI*)(DWORD);
using GetUserObjectInformationAFn = BOOL(WINAPI*)(HANDLE, int, void*, DWORD, DWORD*);

bool OnSecureDesktop() {
    auto threadDesktop = Lookup<GetThreadDesktopFn>("USER32.DLL", "GetThreadDesktop");
    auto objectInformation =
        Lookup<GetUserObjectInformationAFn>("USER32.DLL", "GetUserObjectInformationA");
    HDESK desktop = threadDesktop ? threadDesktop(GetCurrentThreadId()) : nullptr;
    char name[64];
    DWORD needed = 0;
    if (!desktop || !objectInformation ||
        !objectInformation(desktop, UOI_NAME, name, sizeof(name) - 1, &needed)) {
        return false;
    }
    name[sizeof(name) - 1] = '\0';
    return IsSecureDesktopName(name);
}

void PaintDesktopBackground(uint32_t* pixels, int32_t width, int32_t height,
                            HostPoint windowCorner) {
    PixelImage target = {pixels, width, height};
    uint32_t colour = PixelFromColorRef(GetSysColor(COLOR_DESKTOP));
    FillPixels(target, colour);
    SettingText path, styleSetting, tileSetting;
    PictureFormat format = PictureFormat::kUnknown;
    if (!OpenWallpaper(path, format)) {
        return;
    }
    DecodedPicture picture = DecodePictureFile(path, format);
    if (!picture.bitmap) {
        return;
    }
    ReadDesktopSetting("WallpaperStyle", styleSetting);
    ReadDesktopSetting("TileWallpaper", tileSetting);
    WallpaperStyle style = ParseWallpaperStyle(styleSetting, tileSetting);
    std::vector<WallpaperPlacement> placed =
        PlaceWallpaper(style, picture.image.width, picture.image.height, MonitorRects(windowCorner),
                       width, height, {-windowCorner.x, -windowCorner.y});
    HANDLE heap = GetProcessHeap();
    void* scratch = HeapAlloc(heap, 0, ScratchPixels(picture.image, placed) * sizeof(uint32_t));
    for (const WallpaperPlacement& placement : placed) {
        if (scratch) {
            DrawPlacement(target, picture.image, placement, static_cast<uint32_t*>(scratch));
        }
    }
    if (scratch) {
        HeapFree(heap, 0, scratch);
    }
    ReleasePicture(picture);
}
