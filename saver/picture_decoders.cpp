// The picture decoders the system may have, each looked up at run time: Windows 95 reads
// nothing but BMP by itself, GDI+ came with Windows XP (and as a redistributable before), and
// OLE's picture loader with the later OLE Automation libraries.
#include "saver/picture_decoders.h"

#include <olectl.h>

#include "host/host.h"
#include "saver/flock_gdi.h"

namespace {

template <typename Function>
Function Lookup(HMODULE library, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

DecodedPicture NewPicture(int32_t width, int32_t height) {
    DecodedPicture picture = {};
    if (width <= 0 || height <= 0) {
        return picture;
    }
    BITMAPINFO layout = PixelLayout(width, height);
    void* pixels = nullptr;
    picture.bitmap = CreateDIBSection(nullptr, &layout, DIB_RGB_COLORS, &pixels, nullptr, 0);
    if (!picture.bitmap || !pixels) {
        ReleasePicture(picture);
        return picture;
    }
    picture.image = {static_cast<uint32_t*>(pixels), width, height};
    return picture;
}

// Copies any device-independent or compatible bitmap into a picture of its own.
DecodedPicture PictureFromBitmap(HBITMAP bitmap) {
    BITMAP info = {};
    if (!bitmap || !GetObjectA(bitmap, sizeof(info), &info)) {
        return {};
    }
    DecodedPicture picture = NewPicture(info.bmWidth, info.bmHeight);
    HDC memory = picture.bitmap ? CreateCompatibleDC(nullptr) : nullptr;
    BITMAPINFO layout = PixelLayout(info.bmWidth, info.bmHeight);
    bool read = memory && GetDIBits(memory, bitmap, 0, UINT(info.bmHeight), picture.image.pixels,
                                    &layout, DIB_RGB_COLORS) == info.bmHeight;
    if (memory) {
        DeleteDC(memory);
    }
    if (!read) {
        ReleasePicture(picture);
    }
    return picture;
}

DecodedPicture DecodeBmp(const char* path) {
    HANDLE loaded =
        LoadImageA(nullptr, path, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION);
    DecodedPicture picture = PictureFromBitmap(static_cast<HBITMAP>(loaded));
    if (loaded) {
        DeleteObject(loaded);
    }
    return picture;
}

bool WidePath(const char* path, WCHAR (&wide)[MAX_PATH]) {
    return MultiByteToWideChar(CP_ACP, 0, path, -1, wide, MAX_PATH) > 0;
}

// The part of GDI+'s flat interface the saver uses, as its documentation declares it.
struct GdiplusStartupInput {
    UINT32 version;
    void* debugEventCallback;
    BOOL suppressBackgroundThread;
    BOOL suppressExternalCodecs;
};
struct GdipRect {
    INT x, y, width, height;
};
struct GdipBitmapData {
    UINT width;
    UINT height;
    INT stride;
    INT pixelFormat;
    void* scan0;
    UINT_PTR reserved;
};
constexpr INT kPixelFormat32bppRGB = 0x00022009;
constexpr UINT kLockRead = 1, kLockIntoOwnBuffer = 4;
using GdiplusStartupFn = int(WINAPI*)(ULONG_PTR*, const GdiplusStartupInput*, void*);
using GdiplusShutdownFn = void(WINAPI*)(ULONG_PTR);
using GdipCreateBitmapFromFileFn = int(WINAPI*)(const WCHAR*, void**);
using GdipGetImageSizeFn = int(WINAPI*)(void*, UINT*);
using GdipBitmapLockBitsFn = int(WINAPI*)(void*, const GdipRect*, UINT, INT, GdipBitmapData*);
using GdipBitmapUnlockBitsFn = int(WINAPI*)(void*, GdipBitmapData*);
using GdipDisposeImageFn = int(WINAPI*)(void*);

// GDI+ copies the decoded pixels straight into the picture's own memory.
DecodedPicture ReadWithGdiplus(HMODULE gdiplus, const WCHAR* path) {
    auto create = Lookup<GdipCreateBitmapFromFileFn>(gdiplus, "GdipCreateBitmapFromFile");
    auto width = Lookup<GdipGetImageSizeFn>(gdiplus, "GdipGetImageWidth");
    auto height = Lookup<GdipGetImageSizeFn>(gdiplus, "GdipGetImageHeight");
    auto lock = Lookup<GdipBitmapLockBitsFn>(gdiplus, "GdipBitmapLockBits");
    auto unlock = Lookup<GdipBitmapUnlockBitsFn>(gdiplus, "GdipBitmapUnlockBits");
    auto dispose = Lookup<GdipDisposeImageFn>(gdiplus, "GdipDisposeImage");
    void* bitmap = nullptr;
    if (!create || !width || !height || !lock || !unlock || !dispose ||
        create(path, &bitmap) != 0) {
        return {};
    }
    UINT w = 0, h = 0;
    DecodedPicture picture = {};
    if (width(bitmap, &w) == 0 && height(bitmap, &h) == 0 && w < 0x8000 && h < 0x8000) {
        picture = NewPicture(INT(w), INT(h));
    }
    if (picture.bitmap) {
        GdipRect all = {0, 0, INT(w), INT(h)};
        GdipBitmapData data = {w, h, INT(w) * 4, kPixelFormat32bppRGB, picture.image.pixels, 0};
        if (lock(bitmap, &all, kLockRead | kLockIntoOwnBuffer, kPixelFormat32bppRGB, &data) == 0) {
            unlock(bitmap, &data);
        } else {
            ReleasePicture(picture);
        }
    }
    dispose(bitmap);
    return picture;
}

DecodedPicture DecodeWithGdiplus(const char* path) {
    WCHAR wide[MAX_PATH];
    HMODULE gdiplus = WidePath(path, wide) ? LoadSystemLibrary("gdiplus.dll") : nullptr;
    if (!gdiplus) {
        return {};
    }
    DecodedPicture picture = {};
    auto startup = Lookup<GdiplusStartupFn>(gdiplus, "GdiplusStartup");
    auto shutdown = Lookup<GdiplusShutdownFn>(gdiplus, "GdiplusShutdown");
    GdiplusStartupInput input = {1, nullptr, FALSE, FALSE};
    ULONG_PTR token = 0;
    if (startup && shutdown && startup(&token, &input, nullptr) == 0) {
        picture = ReadWithGdiplus(gdiplus, wide);
        shutdown(token);
    }
    FreeLibrary(gdiplus);
    return picture;
}

using CoInitializeFn = HRESULT(WINAPI*)(void*);
using CoUninitializeFn = void(WINAPI*)();
using OleLoadPicturePathFn = HRESULT(WINAPI*)(LPOLESTR, LPUNKNOWN, DWORD, OLE_COLOR, REFIID,
                                              void**);
// IPicture's interface identifier, as the OLE documentation gives it.
const IID kIidPicture = {
    0x7BF80980, 0xBF32, 0x101A, {0x8B, 0xBB, 0x00, 0xAA, 0x00, 0x30, 0x0C, 0xAB}};

// The loader hands back the picture as a bitmap of the display's kind; its pixels are copied.
DecodedPicture ReadWithOle(HMODULE oleaut, WCHAR* path) {
    auto load = Lookup<OleLoadPicturePathFn>(oleaut, "OleLoadPicturePath");
    IPicture* loaded = nullptr;
    if (!load ||
        FAILED(load(path, nullptr, 0, 0, kIidPicture, reinterpret_cast<void**>(&loaded))) ||
        !loaded) {
        return {};
    }
    DecodedPicture picture = {};
    SHORT type = PICTYPE_NONE;
    OLE_HANDLE handle = 0;
    if (SUCCEEDED(loaded->get_Type(&type)) && type == PICTYPE_BITMAP &&
        SUCCEEDED(loaded->get_Handle(&handle))) {
        picture = PictureFromBitmap(reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle)));
    }
    loaded->Release();
    return picture;
}

// The loader may ask for the system's imaging components, which need COM on this thread.
DecodedPicture DecodeWithOle(const char* path) {
    WCHAR wide[MAX_PATH];
    if (!WidePath(path, wide)) {
        return {};
    }
    HMODULE ole = LoadSystemLibrary("ole32.dll");
    HMODULE oleaut = ole ? LoadSystemLibrary("oleaut32.dll") : nullptr;
    auto initialize = ole ? Lookup<CoInitializeFn>(ole, "CoInitialize") : nullptr;
    auto uninitialize = ole ? Lookup<CoUninitializeFn>(ole, "CoUninitialize") : nullptr;
    DecodedPicture picture = {};
    if (oleaut && initialize && uninitialize) {
        bool joined = SUCCEEDED(initialize(nullptr));
        picture = ReadWithOle(oleaut, wide);
        if (joined) {
            uninitialize();
        }
    }
    if (oleaut) {
        FreeLibrary(oleaut);
    }
    if (ole) {
        FreeLibrary(ole);
    }
    return picture;
}

}  // namespace

DecodedPicture DecodePictureFile(const char* path, PictureFormat format) {
    switch (format) {
        case PictureFormat::kBmp:
            return DecodeBmp(path);
        case PictureFormat::kJpeg:
        case PictureFormat::kGif: {
            DecodedPicture picture = DecodeWithGdiplus(path);
            return picture.bitmap ? picture : DecodeWithOle(path);
        }
        case PictureFormat::kPng:
            return DecodeWithGdiplus(path);
        case PictureFormat::kUnknown:
            break;
    }
    return {};
}

void ReleasePicture(DecodedPicture& picture) {
    if (picture.bitmap) {
        DeleteObject(picture.bitmap);
    }
    picture = {};
}
